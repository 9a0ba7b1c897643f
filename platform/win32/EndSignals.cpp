#include "platform/EndSignals.h"

namespace qv::platform {

// The Windows applet is a window program without a console: nothing sends
// it these signals, and its window refuses to be closed.
struct EndSignalWatch::State {};

EndSignalWatch::EndSignalWatch(EventLoop&, std::function<void()>) {}

EndSignalWatch::~EndSignalWatch() = default;

} // namespace qv::platform
