#pragma once
// The system-facts port: what the applet asks of the operating system about
// the PC and the user, and the few things it asks the desktop to do. An
// interface, so the run flow can be tested with a fake.

#include <cstdint>
#include <string>
#include <vector>

namespace qv::platform {

struct MemoryStatus {
    uint64_t totalPhysical = 0;
    uint64_t availablePhysical = 0;
    uint64_t totalPageFile = 0;
    uint64_t availablePageFile = 0;
};

class SystemFacts {
public:
    virtual ~SystemFacts() = default;

    // True on the NT family of Windows, and on Linux.
    virtual bool IsNtFamily() const = 0;
    virtual MemoryStatus Memory() const = 0;
    // Windows: member of the built-in Administrators group. Linux: root, or a
    // member of the group that owns the optical drives.
    virtual bool IsAdministrator() const = 0;
    // Windows: InternetGetConnectedState. Linux: a default route exists.
    virtual bool IsOnline() const = 0;
    virtual uint64_t TimeStampCounter() const = 0;
    virtual void Beep() = 0;
    // Shows the page in the default browser; where there is none the URL is
    // written to standard error so the user can still open it.
    virtual void OpenUrl(const std::string& url) = 0;
    // Titles of the visible and hidden top-level windows (at most 254
    // characters each), in the system's order; empty on Linux.
    virtual std::vector<std::string> TopLevelWindowTitles() const = 0;
    // Posts the quit message to the first top-level window with exactly this
    // title; false when there is none.
    virtual bool PostQuitToWindow(const std::string& title) = 0;
    // Milliseconds since an arbitrary start; wraps like GetTickCount.
    virtual uint32_t TickCount() const = 0;
    // A blocking sleep that processes no messages.
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The real facts of this machine; one object for the whole process.
SystemFacts& ThisSystem();

} // namespace qv::platform
