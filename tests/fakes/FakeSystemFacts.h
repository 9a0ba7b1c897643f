#pragma once
// System facts a test sets by hand, and a record of what the code asked the
// desktop to do. Time comes from a FakeClock, so Sleep returns at once.

#include "FakeClock.h"
#include "platform/SystemFacts.h"

#include <string>
#include <vector>

namespace qv::fakes {

class FakeSystemFacts final : public platform::SystemFacts {
public:
    explicit FakeSystemFacts(FakeClock& clock) : clock_(clock) {}

    // Facts to set.
    bool ntFamily = true;
    platform::MemoryStatus memory{512ull << 20, 256ull << 20, 1024ull << 20, 1024ull << 20};
    bool administrator = true;
    bool online = false;
    // The time-stamp counter runs at this rate of the virtual clock: 2400000
    // per millisecond measures as 2400 MHz.
    uint64_t counterPerMillisecond = 2400000;
    std::vector<std::string> windowTitles;

    // What was asked.
    int beeps = 0;
    std::vector<std::string> openedUrls;
    std::vector<std::string> quitRequests;
    std::vector<uint32_t> sleeps;

    bool IsNtFamily() const override { return ntFamily; }
    platform::MemoryStatus Memory() const override { return memory; }
    bool IsAdministrator() const override { return administrator; }
    bool IsOnline() const override { return online; }
    uint64_t TimeStampCounter() const override { return counterPerMillisecond * clock_.now; }
    void Beep() override { ++beeps; }
    void OpenUrl(const std::string& url) override { openedUrls.push_back(url); }
    std::vector<std::string> TopLevelWindowTitles() const override { return windowTitles; }

    bool PostQuitToWindow(const std::string& title) override {
        for (const std::string& candidate : windowTitles) {
            if (candidate == title) {
                quitRequests.push_back(title);
                return true;
            }
        }
        return false;
    }

    uint32_t TickCount() const override { return clock_.now; }

    void Sleep(uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        clock_.now += milliseconds;
    }

private:
    FakeClock& clock_;
};

} // namespace qv::fakes
