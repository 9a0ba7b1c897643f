#pragma once
// The write speed for the coming burn: the recorder's abilities, the PC and
// the history of earlier burns on it decide. ChooseWriteSpeed is the pure
// rule; SetWriteSpeed asks the engine and the window and applies it.

#include "BurnWindow.h"

#include <cstdint>

namespace qv::recording {

// Kilobytes per second of the speeds the rule names.
inline constexpr uint16_t kSpeed1x = 176;
inline constexpr uint16_t kSpeed2x = 353;
inline constexpr uint16_t kSpeed4x = 706;
inline constexpr uint16_t kSpeed8x = 1411;
inline constexpr uint16_t kSpeed10x = 1764;
inline constexpr uint16_t kSpeed12x = 2117;

struct SpeedChoice {
    uint16_t speed = kSpeed1x;
    bool holdThrottle = false; // the hold as the history leaves it
};

SpeedChoice ChooseWriteSpeed(const SpeedHistory& history, bool underrunProtection,
                             uint16_t highestWriteSpeed);

// The speed the recorder really uses: what it reports, but never above the
// chosen one.
uint16_t EffectiveWriteSpeed(uint16_t reportedSpeed, uint16_t chosenSpeed);
int64_t SpeedFactorOf(uint16_t effectiveSpeed);

// Runs on the burn thread; the window's part runs on the window thread while
// this thread waits. Status lines go out through the sender.
class BurnMessenger;
void SetWriteSpeed(BurnWindow& window, BurnMessenger& messenger);

} // namespace qv::recording
