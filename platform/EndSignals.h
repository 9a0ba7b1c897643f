#pragma once
// The signals that end a program from outside (on Linux SIGTERM, SIGINT,
// SIGHUP, and SIGPIPE when the reader of our output has gone) turned into a
// call on the window thread, so that the run can end as the user's cancel
// would at that moment. The handler itself only writes a byte to a pipe;
// a thread of the watch reads it and posts the call to the event loop.

#include "platform/EventLoop.h"

#include <functional>
#include <memory>

namespace qv::platform {

class EndSignalWatch {
public:
    EndSignalWatch(EventLoop& loop, std::function<void()> onSignal);
    // The handling the signals had before comes back; a call not yet run is
    // dropped. One watch at a time: a second one made meanwhile does nothing.
    ~EndSignalWatch();
    EndSignalWatch(const EndSignalWatch&) = delete;
    EndSignalWatch& operator=(const EndSignalWatch&) = delete;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace qv::platform
