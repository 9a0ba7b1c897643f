#pragma once
// The event loop's sleep on FLTK: the window thread waits in the toolkit for
// the display's input, and a worker's message wakes it through the
// toolkit's own thread-safe wake-up.

#include "platform/EventLoop.h"

namespace qv::ui {

class FltkWait final : public platform::ToolkitWait {
public:
    // On the window thread, before any worker starts.
    FltkWait();
    void Wait(double seconds) override;
    void Wake() override;
};

} // namespace qv::ui
