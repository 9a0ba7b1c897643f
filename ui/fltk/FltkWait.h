#pragma once
// The event loop's sleep on FLTK: the window thread waits in the toolkit for
// the display's input, and a worker's message wakes it through the
// toolkit's own thread-safe wake-up. Once the display is gone the loop
// sleeps on a wait of its own, so that the run can finish without it.

#include "platform/EventLoop.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace qv::ui {

class FltkWait final : public platform::ToolkitWait {
public:
    // On the window thread, before any worker starts.
    FltkWait();
    void Wait(double seconds) override;
    void Wake() override;
    // On the window thread: the toolkit is never entered again.
    void LeaveDisplay();

private:
    void WaitWithoutDisplay(double seconds);

    std::atomic<bool> displayGone_{false};
    std::mutex mutex_;
    std::condition_variable woken_;
    // A wake that came before its wait: that wait returns at once.
    bool wakePending_ = false;
};

} // namespace qv::ui
