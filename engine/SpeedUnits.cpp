#include "SpeedUnits.h"

#include <cstdlib>

namespace qv::engine {

namespace {

// Single speed in tenths of kB/s: 176.4 kB/s.
constexpr int kSingleSpeedTenths = 1764;
constexpr int kSectorsPerSecondAt1x = 75;

} // namespace

int LibburnSpeed(uint16_t appletSpeed) {
    const int tenths = appletSpeed * 10;
    const int multiple = (tenths + kSingleSpeedTenths / 2) / kSingleSpeedTenths;
    // The applet truncates 176.4 x n, so it lies less than 1 kB/s below it.
    if (multiple == 0 || std::abs(tenths - multiple * kSingleSpeedTenths) >= 10) return appletSpeed;
    // libburn.h: "Fractional speeds should be rounded up. Like 4xCD = 706."
    return (multiple * kSingleSpeedTenths + 9) / 10;
}

uint16_t ServiceSpeedToApplet(int32_t sectorsPerSecond) {
    if (sectorsPerSecond <= 0) return 0;
    // 176.4 kB/s for 75 sectors a second: 2.352 kB/s a sector a second.
    const int64_t tenths =
        (static_cast<int64_t>(sectorsPerSecond) * kSingleSpeedTenths + kSectorsPerSecondAt1x / 2) /
        kSectorsPerSecondAt1x;
    const int64_t speed = (tenths + 5) / 10;
    return static_cast<uint16_t>(speed > 65535 ? 65535 : speed);
}

int32_t AppletSpeedToService(uint16_t appletSpeed) {
    const int64_t tenths = static_cast<int64_t>(appletSpeed) * 10;
    return static_cast<int32_t>((tenths * kSectorsPerSecondAt1x + kSingleSpeedTenths / 2) /
                                kSingleSpeedTenths);
}

} // namespace qv::engine
