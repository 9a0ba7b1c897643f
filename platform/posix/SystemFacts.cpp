#include "platform/SystemFacts.h"
#include "platform/posix/ProcFiles.h"
#include "platform/posix/SpawnDetached.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace qv::platform {

namespace {

constexpr const char* kOpticalDrives[] = {"/dev/sr0", "/dev/cdrom"};
constexpr const char* kBrowserOpener = "xdg-open";
constexpr const char* kUrlFallbackFormat = "Open this page in your browser: %s\n";

bool InGroup(gid_t group) {
    if (::getegid() == group) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<size_t>(i)] == group) return true;
    return false;
}

bool OnPath(const std::string& program) {
    const char* path = ::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

class PosixSystemFacts final : public SystemFacts {
public:
    bool IsNtFamily() const override { return true; }

    MemoryStatus Memory() const override { return ParseMemInfo(ReadWholeFile("/proc/meminfo")); }

    bool IsAdministrator() const override {
        if (::geteuid() == 0) return true;
        for (const char* drive : kOpticalDrives) {
            struct stat info {};
            if (::stat(drive, &info) == 0 && InGroup(info.st_gid)) return true;
        }
        return false;
    }

    bool IsOnline() const override {
        return HasIpv4DefaultRoute(ReadWholeFile("/proc/net/route")) ||
               HasIpv6DefaultRoute(ReadWholeFile("/proc/net/ipv6_route"));
    }

    uint64_t TimeStampCounter() const override {
#if defined(__x86_64__) || defined(__i386__)
        return __rdtsc();
#else
        // No time-stamp counter: nanoseconds count at 1 GHz instead.
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
#endif
    }

    void Beep() override {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }

    void OpenUrl(const std::string& url) override {
        if (OnPath(kBrowserOpener) && SpawnDetached({kBrowserOpener, url})) return;
        std::fprintf(stderr, kUrlFallbackFormat, url.c_str());
        std::fflush(stderr);
    }

    std::vector<std::string> TopLevelWindowTitles() const override {
        return {};
    }

    bool PostQuitToWindow(const std::string& /*title*/) override {
        return false;
    }

    uint32_t TickCount() const override {
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                            static_cast<uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }

    void Sleep(uint32_t milliseconds) override {
        struct timespec wait {
            static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L
        };
        while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
        }
    }
};

} // namespace

SystemFacts& ThisSystem() {
    static PosixSystemFacts facts;
    return facts;
}

} // namespace qv::platform
