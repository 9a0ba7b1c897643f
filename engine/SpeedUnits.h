#pragma once
// The applet's speeds are whole kB/s with single speed as 176 (8x is 1411);
// libburn wants kB/s of 1000 bytes with single speed as 176.4, fractions
// rounded up (8x is 1412).

#include <cstdint>

namespace qv::engine {

// The libburn speed for the applet's: a multiple of single speed (within the
// applet's truncation) becomes that multiple of 176.4 rounded up; any other
// value is taken as written; 0 stays 0, the highest.
int LibburnSpeed(uint16_t appletSpeed);

// The Windows burning service speaks sectors per second, 75 to single speed:
// the applet's figure for a service speed (600, 8x, is 1411) and back,
// both rounded to the nearest.
uint16_t ServiceSpeedToApplet(int32_t sectorsPerSecond);
int32_t AppletSpeedToService(uint16_t appletSpeed);

} // namespace qv::engine
