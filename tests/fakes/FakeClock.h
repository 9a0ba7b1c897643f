#pragma once
// Virtual time shared by the fakes: nothing in a run-flow test really waits.

#include <cstdint>

namespace qv::fakes {

struct FakeClock {
    uint32_t now = 0; // milliseconds, wraps like the tick count
};

} // namespace qv::fakes
