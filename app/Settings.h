#pragma once
// The facts the applet keeps per user and PC between runs: the write-mode
// counters, the speed and outcome of the last recording, the speed hold, the
// measured CPU speed and two switches set by hand. They are read once when
// the window is created and written back when the run ends.

#include "platform/SettingsStore.h"
#include "platform/SystemFacts.h"

#include <cstdint>
#include <string>

namespace qv::app {

inline constexpr const char* kSettingsKey = "Software\\Quarlow\\VTQApplet\\5.0";

// The value names, each spelt once.
namespace setting_name {
inline constexpr const char* kTesting = "Testing";
inline constexpr const char* kCpuSpeed = "CPUspeed";
inline constexpr const char* kPriorX = "PriorX";
inline constexpr const char* kPriorBurnWasGood = "PriorBurnWasGood";
inline constexpr const char* kPriorSaidHoldThrottle = "PriorSaidHoldThrottle";
inline constexpr const char* kDeleteApplet = "DeleteApplet";
// In the order of the window's counter fields.
inline constexpr const char* kCounters[6] = {"TAOModeSuccess", "SAOModeSuccess", "DAOModeSuccess",
                                             "TAOModeFail",    "SAOModeFail",    "DAOModeFail"};
} // namespace setting_name

inline constexpr const char* kSuccessFragmentKey = "&Succ=";
inline constexpr const char* kFailureFragmentKey = "&Fail=";

// Indices of TFormMain::WriteModeCounters: successes, then failures, each in
// the order track-at-once, session-at-once, disc-at-once.
enum CounterIndex { kTaoSuccess, kSaoSuccess, kDaoSuccess, kTaoFail, kSaoFail, kDaoFail };

// The settings of the run's state; the counters live in the window.
struct TSettingsValues {
    bool Testing = false;
    int32_t CpuSpeed = 0; // MHz; 1 marks a failed measurement
    int32_t PriorX = 0;
    bool PriorBurnWasGood = true;
    bool PriorSaidHoldThrottle = false;
    bool DeleteApplet = true;
};
// The decimal integer the text holds, or the fallback for anything else
// (letters, blanks, an empty text, a number outside 32 bits).
int32_t ParseSettingInteger(const std::string& text, int32_t fallback);

// Reads the twelve values in their order; missing or unreadable ones keep
// their defaults.
void ReadSettings(const platform::SettingsStore& store, TSettingsValues& values,
                  int32_t (&counters)[6]);
// PriorBurnWasGood and PriorX as the run's result leaves them; a speed text
// that is no integer (a run that never reached its estimate) keeps PriorX.
void RememberOutcome(TSettingsValues& values, int32_t runResult, const std::string& speedText);
// Writes the ten values that change, in their order; never "Testing" or
// "DeleteApplet". Failures are not reported.
void WriteSettings(platform::SettingsStore& store, const TSettingsValues& values,
                   const int32_t (&counters)[6]);

// "&Succ=" and "&Fail=" with the session-at-once, disc-at-once and
// track-at-once counters, in that order.
std::string SuccessFragment(const int32_t (&counters)[6]);
std::string FailureFragment(const int32_t (&counters)[6]);

// The counter index of a write mode (0 disc-at-once, 1 session-at-once,
// 2 track-at-once), success or failure; -1 for an unknown mode.
int CounterIndexFor(uint8_t writeMode, bool success);

// What the CPU-speed measurement needs of the system; the run passes the
// real priorities, tests a record of them.
struct TPriorityControl {
    virtual ~TPriorityControl() = default;
    // Remembers the process class and the thread priority.
    virtual void Remember() = 0;
    // Real-time class, time-critical thread.
    virtual void RaiseToHighest() = 0;
    // The thread priority first, then the process class.
    virtual void Restore() = 0;
};
// The calling thread's and process's real priorities.
TPriorityControl& SystemPriorities();

// Measures the processor clock once per PC: nothing happens when the speed
// is already 1 or more; otherwise the time-stamp counter is read across
// 500 ms at the highest priorities and the speed becomes the difference (as
// an unsigned 32-bit value) / 500,000. A failure stores 1.
void MeasureCpuSpeed(platform::SystemFacts& facts, TPriorityControl& priorities,
                     TSettingsValues& values);

} // namespace qv::app
