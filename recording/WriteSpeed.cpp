#include "WriteSpeed.h"

#include "BurnMessenger.h"
#include "CdRwLibE.h"

namespace qv::recording {

namespace {

constexpr int32_t kSlowCpu = 300;
constexpr int32_t kFastCpuWithout95Family = 800;
constexpr uint8_t kEnoughMemory = 2;
constexpr int32_t kHoldEndsEvery = 10;

constexpr const char* kNoSpeedList =
    "\r\n\r\n*** Unable to get the list of supported speeds.  Continue at default speed.\r\n";
constexpr const char* kSpeedNotSet = "\r\n\r\n*** Unable to set the speed.\r\n";

uint16_t BaseSpeed(const SpeedHistory& history, bool protection, uint16_t highest) {
    const int32_t fastCpu = history.ntFamily ? kSlowCpu : kFastCpuWithout95Family;
    if (history.cpuSpeed > fastCpu && protection) return highest;
    if (history.cpuSpeed > kSlowCpu && history.memoryGrade >= kEnoughMemory) return kSpeed8x;
    return kSpeed4x;
}

// The throttle held after a failure, stepped back up as successes come.
uint16_t HeldSpeed(int32_t priorX, uint16_t base) {
    if (priorX > 10) return kSpeed12x;
    switch (priorX) {
    case 10:
        return kSpeed10x;
    case 8:
        return kSpeed8x;
    case 6:
    case 4:
        return kSpeed4x;
    case 2:
    case 1:
        return kSpeed2x;
    default:
        return base;
    }
}

// The first burn after a failure goes clearly slower than the failed one.
uint16_t ThrottledSpeed(int32_t priorX, uint16_t base) {
    if (priorX > 8) return kSpeed8x;
    switch (priorX) {
    case 8:
    case 6:
        return kSpeed4x;
    case 4:
        return kSpeed2x;
    default:
        return base;
    }
}

} // namespace

SpeedChoice ChooseWriteSpeed(const SpeedHistory& history, bool underrunProtection,
                             uint16_t highestWriteSpeed) {
    SpeedChoice choice{BaseSpeed(history, underrunProtection, highestWriteSpeed),
                       history.holdThrottle};
    if (history.priorBurnWasGood) {
        if (history.successTotal > 0 && history.successTotal % kHoldEndsEvery == 0)
            choice.holdThrottle = false;
        if (choice.holdThrottle) choice.speed = HeldSpeed(history.priorX, choice.speed);
    } else {
        choice.speed = ThrottledSpeed(history.priorX, choice.speed);
        choice.holdThrottle = true;
    }
    return choice;
}

uint16_t EffectiveWriteSpeed(uint16_t reportedSpeed, uint16_t chosenSpeed) {
    return reportedSpeed > chosenSpeed ? chosenSpeed : reportedSpeed;
}

int64_t SpeedFactorOf(uint16_t effectiveSpeed) {
    return effectiveSpeed / kSpeed1x;
}

void SetWriteSpeed(BurnWindow& window, BurnMessenger& messenger) {
    const bool protection = EngineEntries.BurnProofControl(CDRW_BURNPROOF_QUERY) == kEngineSuccess;
    uint16_t readSpeed = 0, writeSpeed = 0, third = 0, highest = 0;
    const int32_t listed = EngineEntries.GetCdSpeeds(&readSpeed, &writeSpeed, &third, &highest);
    if (listed != kEngineSuccess)
        messenger.Status(kNoSpeedList + std::string(" ") + EngineStatusText(listed));

    const SpeedHistory history = platform::SendAndWaitFor(window.Loop(), [&] {
                                     return window.ReadSpeedHistory();
                                 }).value_or(SpeedHistory{});
    const SpeedChoice choice = ChooseWriteSpeed(history, protection, highest);
    if (choice.holdThrottle != history.holdThrottle)
        window.Loop().SendAndWait([&] { window.StoreThrottleHold(choice.holdThrottle); });

    const int32_t set = EngineEntries.SetCdSpeeds(readSpeed, choice.speed);
    if (set != kEngineSuccess)
        messenger.Status(kSpeedNotSet + std::string(" ") + EngineStatusText(set));
    EngineEntries.GetCdSpeeds(&readSpeed, &writeSpeed, &third, &highest);
    const int64_t factor = SpeedFactorOf(EffectiveWriteSpeed(writeSpeed, choice.speed));

    window.Loop().SendAndWait([&] {
        window.ApplySpeedFactor(factor);
        if (!protection) window.DisableLeftButton();
        window.ProcessWindowMessages();
    });
}

} // namespace qv::recording
