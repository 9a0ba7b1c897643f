// The write-speed rule: base choice by system family, CPU and memory, and
// the throttle the history of earlier burns puts on it.

#include "recording/WriteSpeed.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using recording::ChooseWriteSpeed;
using recording::SpeedHistory;

struct SpeedCase {
    const char* name;
    SpeedHistory history;
    bool protection;
    uint16_t highest;
    uint16_t speed;
    bool hold;
};

SpeedHistory FirstBurn(int32_t cpu, bool nt, uint8_t memory = 4) {
    SpeedHistory history;
    history.cpuSpeed = cpu;
    history.ntFamily = nt;
    history.memoryGrade = memory;
    return history;
}

SpeedHistory After(SpeedHistory history, bool good, bool hold, int32_t priorX, int32_t successes) {
    history.priorBurnWasGood = good;
    history.holdThrottle = hold;
    history.priorX = priorX;
    history.successTotal = successes;
    return history;
}

const SpeedCase kCases[] = {
    {"NtFastWithProtectionTakesHighest", FirstBurn(450, true), true, 2117, 2117, false},
    {"NineFiveNeedsAbove800ForHighest", FirstBurn(450, false), true, 2117, 1411, false},
    {"NineFiveAbove800TakesHighest", FirstBurn(801, false), true, 2117, 2117, false},
    {"NtWithoutProtection", FirstBurn(450, true), false, 2117, 1411, false},
    {"Cpu300ExactlyOnNt", FirstBurn(300, true), true, 2117, 706, false},
    {"Cpu300ExactlyOn95", FirstBurn(300, false), true, 2117, 706, false},
    {"MemoryTestNotRun", FirstBurn(450, true, 0), false, 2117, 706, false},
    {"FailedAtPriorX12", After(FirstBurn(450, true), false, false, 12, 3), true, 2117, 1411, true},
    {"FailedAtPriorX8", After(FirstBurn(450, true), false, false, 8, 3), true, 2117, 706, true},
    {"FailedAtPriorX4", After(FirstBurn(450, true), false, false, 4, 3), true, 2117, 353, true},
    {"FailedAtPriorX3KeepsBase", After(FirstBurn(450, true), false, false, 3, 3), true, 2117, 2117,
     true},
    {"HeldAtPriorX8", After(FirstBurn(450, true), true, true, 8, 7), true, 2117, 1411, true},
    {"HoldEndsAtTenthSuccess", After(FirstBurn(450, true), true, true, 8, 10), true, 2117, 2117,
     false},
    {"HoldKeptWithoutSuccesses", After(FirstBurn(450, true), true, true, 2, 0), true, 2117, 353,
     true},
    {"HeldAtPriorX10", After(FirstBurn(450, true), true, true, 10, 11), true, 2117, 1764, true},
    {"HeldAtPriorX6", After(FirstBurn(450, true), true, true, 6, 11), true, 2117, 706, true},
    {"HeldAtOddPriorXKeepsBase", After(FirstBurn(450, true), true, true, 7, 11), true, 2117, 2117,
     true},
    {"HeldAboveTen", After(FirstBurn(450, true), true, true, 16, 11), true, 1764, 2117, true},
    {"NoHoldNoChange", After(FirstBurn(450, true), true, false, 2, 5), true, 2117, 2117, false},
};

class WriteSpeedRule : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(WriteSpeedRule, ChoosesSpeedAndHold) {
    const SpeedCase& c = GetParam();
    const recording::SpeedChoice choice = ChooseWriteSpeed(c.history, c.protection, c.highest);
    EXPECT_EQ(choice.speed, c.speed);
    EXPECT_EQ(choice.holdThrottle, c.hold);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteSpeedRule, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(WriteSpeedFactor, FollowsTheSpeedTheRecorderReportsButNeverAboveTheChoice) {
    EXPECT_EQ(recording::SpeedFactorOf(recording::EffectiveWriteSpeed(706, 1411)), 4);
    EXPECT_EQ(recording::SpeedFactorOf(recording::EffectiveWriteSpeed(2117, 2117)), 12);
    EXPECT_EQ(recording::SpeedFactorOf(recording::EffectiveWriteSpeed(7056, 1411)), 8);
    EXPECT_EQ(recording::SpeedFactorOf(recording::EffectiveWriteSpeed(0, 1411)), 0);
}

} // namespace
} // namespace qv::test
