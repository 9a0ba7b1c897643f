#include "FltkWait.h"

#include <FL/Fl.H>

#include <chrono>

namespace qv::ui {

namespace {
// Fl::wait without a limit still takes a number: this one is years.
constexpr double kNoLimit = 1e20;
} // namespace

FltkWait::FltkWait() {
    // Turns on the toolkit's wake-up pipe; only this thread takes the lock.
    Fl::lock();
}

void FltkWait::Wait(double seconds) {
    if (displayGone_.load()) {
        WaitWithoutDisplay(seconds);
        return;
    }
    Fl::wait(seconds < 0 ? kNoLimit : seconds);
}

void FltkWait::Wake() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    woken_.notify_one();
    // Nobody reads the toolkit's pipe any more once the display is gone: it
    // would fill and block the worker.
    if (!displayGone_.load()) Fl::awake();
}

void FltkWait::LeaveDisplay() {
    displayGone_.store(true);
}

void FltkWait::WaitWithoutDisplay(double seconds) {
    std::unique_lock lock(mutex_);
    const auto woken = [this] { return wakePending_; };
    if (seconds < 0)
        woken_.wait(lock, woken);
    else
        woken_.wait_for(lock, std::chrono::duration<double>(seconds), woken);
    wakePending_ = false;
}

} // namespace qv::ui
