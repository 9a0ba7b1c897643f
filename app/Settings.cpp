#include "Settings.h"

#include "RunFlow.h"
#include "RunState.h"
#include "UnitMain.h"

#include "platform/Processes.h"

#include <charconv>
#include <exception>
#include <limits>
#include <memory>

namespace qv::app {

namespace {

constexpr const char* kFalseText = "0";
constexpr const char* kTrueText = "1";
constexpr char kFragmentSeparator = '.';
constexpr uint32_t kSettleMilliseconds = 10;
constexpr uint32_t kMeasureMilliseconds = 500;
constexpr uint32_t kCountsPerMegahertz = 500000; // counter ticks in 500 ms at 1 MHz
constexpr int32_t kFailedMeasurement = 1;

int32_t ReadInteger(const platform::SettingsStore& store, const char* name, int32_t fallback) {
    // A missing value reads as an empty text, which is no integer either.
    return ParseSettingInteger(store.Read(kSettingsKey, name, ""), fallback);
}

bool ReadBoolean(const platform::SettingsStore& store, const char* name, bool fallback) {
    return ReadInteger(store, name, fallback ? 1 : 0) != 0;
}

void WriteInteger(platform::SettingsStore& store, const char* name, int32_t value) {
    store.Write(kSettingsKey, name, std::to_string(value));
}

void WriteBoolean(platform::SettingsStore& store, const char* name, bool value) {
    store.Write(kSettingsKey, name, value ? kTrueText : kFalseText);
}

std::string Fragment(const char* key, int32_t sao, int32_t dao, int32_t tao) {
    return key + std::to_string(sao) + kFragmentSeparator + std::to_string(dao) +
           kFragmentSeparator + std::to_string(tao);
}

class RealPriorities final : public TPriorityControl {
public:
    void Remember() override {
        process_ = platform::CurrentProcessPriority();
        thread_ = platform::CurrentThreadPriority();
    }
    void RaiseToHighest() override {
        platform::SetProcessPriority(platform::ProcessPriority::Realtime);
        platform::SetThreadPriority(platform::ThreadPriority::TimeCritical);
    }
    void Restore() override {
        platform::SetThreadPriority(thread_);
        platform::SetProcessPriority(process_);
    }

private:
    platform::ProcessPriority process_ = platform::ProcessPriority::Normal;
    platform::ThreadPriority thread_ = platform::ThreadPriority::Normal;
};

// The store the window uses when the start-up handed it none.
platform::SettingsStore& DefaultUserSettings() {
    static const std::unique_ptr<platform::SettingsStore> store = platform::OpenUserSettings();
    return *store;
}

} // namespace

int32_t ParseSettingInteger(const std::string& text, int32_t fallback) {
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes a minus but not a plus sign; the registry's readers take both.
    if (text.size() > 1 && text[0] == '+' && text[1] >= '0' && text[1] <= '9') ++first;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end != last || first == last) return fallback;
    return value;
}

void ReadSettings(const platform::SettingsStore& store, TSettingsValues& values,
                  int32_t (&counters)[6]) {
    values.Testing = ReadBoolean(store, setting_name::kTesting, false);
    values.CpuSpeed = ReadInteger(store, setting_name::kCpuSpeed, 0);
    values.PriorX = ReadInteger(store, setting_name::kPriorX, 0);
    values.PriorBurnWasGood = ReadBoolean(store, setting_name::kPriorBurnWasGood, true);
    values.PriorSaidHoldThrottle = ReadBoolean(store, setting_name::kPriorSaidHoldThrottle, false);
    values.DeleteApplet = ReadBoolean(store, setting_name::kDeleteApplet, true);
    for (int i = 0; i < 6; ++i)
        counters[i] = ReadInteger(store, setting_name::kCounters[i], 0);
}

void RememberOutcome(TSettingsValues& values, int32_t runResult, const std::string& speedText) {
    if (runResult != result::kCompleted && runResult != result::kCancelled &&
        runResult != result::kRecordingFailed)
        return;
    values.PriorBurnWasGood = runResult == result::kCompleted;
    values.PriorX = ParseSettingInteger(speedText, values.PriorX);
}

void WriteSettings(platform::SettingsStore& store, const TSettingsValues& values,
                   const int32_t (&counters)[6]) {
    WriteInteger(store, setting_name::kCpuSpeed, values.CpuSpeed);
    WriteInteger(store, setting_name::kPriorX, values.PriorX);
    WriteBoolean(store, setting_name::kPriorBurnWasGood, values.PriorBurnWasGood);
    WriteBoolean(store, setting_name::kPriorSaidHoldThrottle, values.PriorSaidHoldThrottle);
    for (int i = 0; i < 6; ++i)
        WriteInteger(store, setting_name::kCounters[i], counters[i]);
}

std::string SuccessFragment(const int32_t (&counters)[6]) {
    return Fragment(kSuccessFragmentKey, counters[kSaoSuccess], counters[kDaoSuccess],
                    counters[kTaoSuccess]);
}

std::string FailureFragment(const int32_t (&counters)[6]) {
    return Fragment(kFailureFragmentKey, counters[kSaoFail], counters[kDaoFail],
                    counters[kTaoFail]);
}

int CounterIndexFor(uint8_t writeMode, bool success) {
    // Write modes count 0 disc-at-once, 1 session-at-once, 2 track-at-once;
    // the counters run the other way round.
    constexpr int kModes = 3;
    if (writeMode >= kModes) return -1;
    const int mode = kModes - 1 - writeMode;
    return success ? mode : kModes + mode;
}

TPriorityControl& SystemPriorities() {
    static RealPriorities priorities;
    return priorities;
}

void MeasureCpuSpeed(platform::SystemFacts& facts, TPriorityControl& priorities,
                     TSettingsValues& values) {
    if (values.CpuSpeed >= 1) return;
    priorities.Remember();
    try {
        priorities.RaiseToHighest();
        facts.Sleep(kSettleMilliseconds);
        const uint64_t before = facts.TimeStampCounter();
        facts.Sleep(kMeasureMilliseconds);
        const uint64_t after = facts.TimeStampCounter();
        priorities.Restore();
        const auto ticks = static_cast<uint32_t>(after - before);
        values.CpuSpeed = static_cast<int32_t>(ticks / kCountsPerMegahertz);
    } catch (const std::exception&) {
        // A processor without a usable counter: remembered, never measured again.
        priorities.Restore();
        values.CpuSpeed = kFailedMeasurement;
    }
}

// The window's side: which store, and the fragments built from its counters.

platform::SettingsStore& TFormMain::UserSettingsStore() {
    return UserSettings != nullptr ? *UserSettings : DefaultUserSettings();
}

void TFormMain::LoadSettings() {
    try {
        ReadSettings(UserSettingsStore(), run_.settings, WriteModeCounters);
    } catch (const std::exception&) {
        // An unreadable store leaves the defaults; the fragments follow anyway.
    }
    RebuildCounterFragments();
}

void TFormMain::SaveSettings() {
    RememberOutcome(run_.settings, RunResult, SpeedText);
    try {
        WriteSettings(UserSettingsStore(), run_.settings, WriteModeCounters);
    } catch (const std::exception&) {
        // Writing failures are not reported.
    }
}

void TFormMain::RebuildCounterFragments() {
    SuccFragment = SuccessFragment(WriteModeCounters);
    FailFragment = FailureFragment(WriteModeCounters);
}

void TFormMain::CountRecording(bool success) {
    const int index = CounterIndexFor(WriteMode, success);
    // A counter that reached the top stays there rather than wrap negative.
    if (index >= 0 && WriteModeCounters[index] < std::numeric_limits<int32_t>::max())
        ++WriteModeCounters[index];
    RebuildCounterFragments();
}

} // namespace qv::app
