#include "ProgressSignal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdint>

namespace qv::engine {

void ProgressSignal::raise() const {
    if (!armed_) return;
#ifdef _WIN32
    SetEvent(static_cast<HANDLE>(event_));
#else
    // A full eventfd counter only delays the reader; a lost signal is harmless.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(event_, &one, sizeof one);
#endif
}

} // namespace qv::engine
