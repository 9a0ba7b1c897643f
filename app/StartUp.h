#pragma once
// The program's start-up: working folder, operating-system family, the
// maintenance switches, "/show", the size gate, then the window, the two
// data modules and the message loop. The front end is handed in by the
// program's entry, so this code knows no user-interface toolkit.

#include "MainView.h"

#include "platform/EventLoop.h"
#include "platform/SystemFacts.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::payload {
struct TPayloadHost;
}

namespace qv::app {

class TFormMain;

inline constexpr const char* kSwitchShow = "/show";
inline constexpr const char* kSwitchTestWrite = "/testqv00";

// A front end: the window's components, the system facts as the user sees
// them (beeps, opened pages), and the events it reports.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    virtual MainView& View() = 0;
    virtual platform::SystemFacts& Facts() = 0;
    virtual void Connect(MainViewEvents& events) = 0;
    // The message loop is about to run: start reading input.
    virtual void Start() = 0;
};

using FrontEndFactory = std::function<std::unique_ptr<FrontEnd>(platform::EventLoop& loop)>;

struct StartUpOptions {
    std::string executablePath;
    std::vector<std::string> arguments; // without the program name
    int64_t payloadOffset = 0;          // the stamped bare size
};

// Runs the program; the result is the process exit code.
int RunApplet(const StartUpOptions& options, const FrontEndFactory& makeFrontEnd);

// What the payload module needs of the applet; form is null in the
// maintenance modes, which have no window.
payload::TPayloadHost MakePayloadHost(TFormMain* form, bool ntFamily);

} // namespace qv::app
