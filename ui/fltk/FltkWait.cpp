#include "FltkWait.h"

#include <FL/Fl.H>

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
    Fl::wait(seconds < 0 ? kNoLimit : seconds);
}

void FltkWait::Wake() {
    Fl::awake();
}

} // namespace qv::ui
