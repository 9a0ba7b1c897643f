#include "SpeedUnits.h"

#include <cstdlib>

namespace qv::engine {

namespace {

// Single speed in tenths of kB/s: 176.4 kB/s.
constexpr int kSingleSpeedTenths = 1764;

} // namespace

int LibburnSpeed(uint16_t appletSpeed) {
    const int tenths = appletSpeed * 10;
    const int multiple = (tenths + kSingleSpeedTenths / 2) / kSingleSpeedTenths;
    // The applet truncates 176.4 x n, so it lies less than 1 kB/s below it.
    if (multiple == 0 || std::abs(tenths - multiple * kSingleSpeedTenths) >= 10) return appletSpeed;
    // libburn.h: "Fractional speeds should be rounded up. Like 4xCD = 706."
    return (multiple * kSingleSpeedTenths + 9) / 10;
}

} // namespace qv::engine
