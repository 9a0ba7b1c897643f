// The persistent settings: defaults, parsing, the remembered outcome, the
// order of writing, the counter fragments and the CPU-speed measurement.

#include "tests/unit/app/RunFlowHarness.h"

#ifndef _WIN32
#include "platform/posix/IniSettingsStore.h"
#endif

#include <fstream>
#include <sstream>

namespace qv::test {
namespace {

const std::string kKey = "Software\\Quarlow\\VTQApplet\\5.0";
const std::vector<std::string> kWrittenNames = {
    "CPUspeed",       "PriorX",         "PriorBurnWasGood", "PriorSaidHoldThrottle",
    "TAOModeSuccess", "SAOModeSuccess", "DAOModeSuccess",   "TAOModeFail",
    "SAOModeFail",    "DAOModeFail"};

std::vector<std::string> WrittenNames(const fakes::FakeSettingsStore& store) {
    std::vector<std::string> names;
    for (const auto& write : store.writes) {
        EXPECT_EQ(write.keyPath, kKey);
        names.push_back(write.name);
    }
    return names;
}

TEST(SettingsTest, FirstRunGivesTheDefaults) {
    RunFlowHarness h;
    h.CreateForm();
    const app::TSettingsValues& values = h.run.settings;
    EXPECT_FALSE(values.Testing);
    EXPECT_EQ(values.CpuSpeed, 0);
    EXPECT_EQ(values.PriorX, 0);
    EXPECT_TRUE(values.PriorBurnWasGood);
    EXPECT_FALSE(values.PriorSaidHoldThrottle);
    EXPECT_TRUE(values.DeleteApplet);
    EXPECT_EQ(h.form->SuccFragment, "&Succ=0.0.0");
    EXPECT_EQ(h.form->FailFragment, "&Fail=0.0.0");
}

TEST(SettingsTest, IntegersAreDecimalOrTheDefault) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"12", 12},  {"-5", -5},  {"+7", 7},  {"0", 0},           {"12a", 99},
        {"abc", 99}, {"", 99},    {" 5", 99}, {"5 ", 99},         {"0x10", 99},
        {"+", 99},   {"+-3", 99}, {"-", 99},  {"2147483648", 99}, {"-2147483648", INT32_MIN}};
    for (const Case& c : cases)
        EXPECT_EQ(app::ParseSettingInteger(c.text, 99), c.value) << c.text;
}

TEST(SettingsTest, StoredValuesAreReadAndLettersGiveTheDefault) {
    RunFlowHarness h;
    const std::pair<const char*, const char*> stored[] = {
        {"Testing", "1"},          {"CPUspeed", "2400MHz"},        {"PriorX", "8"},
        {"PriorBurnWasGood", "0"}, {"PriorSaidHoldThrottle", "7"}, {"DeleteApplet", "0"},
        {"TAOModeSuccess", "3"},   {"SAOModeSuccess", "1"},        {"DAOModeSuccess", "2"},
        {"TAOModeFail", "6"},      {"SAOModeFail", "x"},           {"DAOModeFail", "5"}};
    for (const auto& [name, value] : stored)
        h.store.values[std::make_pair(kKey, std::string(name))] = value;
    h.CreateForm();
    const app::TSettingsValues& values = h.run.settings;
    EXPECT_TRUE(values.Testing);
    EXPECT_EQ(values.CpuSpeed, 0);
    EXPECT_EQ(values.PriorX, 8);
    EXPECT_FALSE(values.PriorBurnWasGood);
    EXPECT_TRUE(values.PriorSaidHoldThrottle);
    EXPECT_FALSE(values.DeleteApplet);
    EXPECT_EQ(h.form->SuccFragment, "&Succ=1.2.3");
    EXPECT_EQ(h.form->FailFragment, "&Fail=0.5.6");
}

TEST(SettingsTest, RememberedOutcomeFollowsTheResult) {
    struct Case {
        int32_t result;
        const char* speedText;
        bool good;
        int32_t priorX;
    };
    // Start: PriorBurnWasGood true, PriorX 6.
    const Case cases[] = {{0, "8", true, 8},  {1, "12", false, 12}, {7, "4", false, 4},
                          {1, "", false, 6},  {0, "3x", true, 6},   {2, "8", true, 6},
                          {-1, "8", true, 6}, {5, "8", true, 6},    {8, "8", true, 6},
                          {76, "8", true, 6}};
    for (const Case& c : cases) {
        app::TSettingsValues values;
        values.PriorX = 6;
        app::RememberOutcome(values, c.result, c.speedText);
        EXPECT_EQ(values.PriorBurnWasGood, c.good) << c.result;
        EXPECT_EQ(values.PriorX, c.priorX) << c.result;
    }
}

TEST(SettingsTest, CountersRaiseByWriteModeAndRebuildTheFragments) {
    RunFlowHarness h;
    h.CreateForm();
    h.form->WriteMode = 2;
    h.form->CountRecording(true);
    h.form->CountRecording(true);
    h.form->CountRecording(true);
    h.form->WriteMode = 1;
    h.form->CountRecording(false);
    h.form->WriteMode = 0;
    h.form->CountRecording(true);
    EXPECT_EQ(h.form->SuccFragment, "&Succ=0.1.3");
    EXPECT_EQ(h.form->FailFragment, "&Fail=1.0.0");
    h.form->WriteMode = 5;
    h.form->CountRecording(false);
    EXPECT_EQ(h.form->FailFragment, "&Fail=1.0.0");
    // A counter at the top stays there instead of wrapping negative.
    h.form->WriteMode = 2;
    h.form->WriteModeCounters[0] = 2147483647;
    h.form->CountRecording(true);
    EXPECT_EQ(h.form->SuccFragment, "&Succ=0.1.2147483647");
}

TEST(SettingsTest, SaveWritesTenValuesInOrderAfterTheOutcome) {
    RunFlowHarness h;
    h.CreateForm();
    h.run.settings.CpuSpeed = 2400;
    h.form->RunResult = 1;
    h.form->SpeedText = "8";
    h.form->WriteModeCounters[app::kTaoFail] = 4;
    h.form->SaveSettings();
    EXPECT_EQ(WrittenNames(h.store), kWrittenNames);
    const auto value = [&](const char* name) { return h.store.Read(kKey, name, ""); };
    EXPECT_EQ(value("CPUspeed"), "2400");
    EXPECT_EQ(value("PriorX"), "8");
    EXPECT_EQ(value("PriorBurnWasGood"), "0");
    EXPECT_EQ(value("PriorSaidHoldThrottle"), "0");
    EXPECT_EQ(value("TAOModeFail"), "4");
}

// A run that stops at the ASPI check keeps the outcome but writes every
// value back as it was read.
TEST(SettingsTest, RunEndingAtTheAspiCheckWritesEverythingBackUnchanged) {
    RunFlowHarness h;
    const std::pair<const char*, const char*> stored[] = {
        {"CPUspeed", "1800"},      {"PriorX", "10"},
        {"PriorBurnWasGood", "0"}, {"PriorSaidHoldThrottle", "1"},
        {"TAOModeSuccess", "9"},   {"SAOModeSuccess", "0"},
        {"DAOModeSuccess", "0"},   {"TAOModeFail", "2"},
        {"SAOModeFail", "0"},      {"DAOModeFail", "0"}};
    for (const auto& [name, value] : stored)
        h.store.values[std::make_pair(kKey, std::string(name))] = value;
    h.versions["wnaspi32.dll|Short"] = "1.000";
    h.Start();
    h.PressRight();
    ASSERT_EQ(h.form->ExitCode(), 4);
    h.form->FormDestroy();
    // Saved at the end of the run and again at destruction: ten values each time.
    const std::vector<std::string> names = WrittenNames(h.store);
    ASSERT_FALSE(names.empty());
    for (size_t save = 0; save < names.size(); save += kWrittenNames.size())
        EXPECT_EQ(std::vector<std::string>(
                      names.begin() + static_cast<std::ptrdiff_t>(save),
                      names.begin() + static_cast<std::ptrdiff_t>(
                                          std::min(names.size(), save + kWrittenNames.size()))),
                  kWrittenNames);
    for (const auto& [name, value] : stored)
        EXPECT_EQ(h.store.Read(kKey, name, ""), value) << name;
}

TEST(SettingsTest, CpuSpeedIsMeasuredOnlyBelowOne) {
    struct Case {
        int32_t stored;
        int32_t after;
    };
    const Case cases[] = {{0, 2400}, {-5, 2400}, {1, 1}, {933, 933}};
    for (const Case& c : cases) {
        fakes::FakeClock clock;
        fakes::FakeSystemFacts facts(clock);
        RecordingPriorities priorities;
        app::TSettingsValues values;
        values.CpuSpeed = c.stored;
        app::MeasureCpuSpeed(facts, priorities, values);
        EXPECT_EQ(values.CpuSpeed, c.after) << c.stored;
        if (c.stored < 1) {
            EXPECT_EQ(priorities.calls, (std::vector<std::string>{"remember", "raise", "restore"}));
            EXPECT_EQ(facts.sleeps, (std::vector<uint32_t>{10, 500}));
        } else {
            EXPECT_TRUE(priorities.calls.empty());
        }
    }
}

TEST(SettingsTest, CpuSpeedCounterWrapsAt32Bits) {
    fakes::FakeClock clock;
    fakes::FakeSystemFacts facts(clock);
    facts.counterPerMillisecond = 10000000; // 10 GHz: 5e9 ticks in 500 ms
    RecordingPriorities priorities;
    app::TSettingsValues values;
    app::MeasureCpuSpeed(facts, priorities, values);
    EXPECT_EQ(values.CpuSpeed, static_cast<int32_t>(static_cast<uint32_t>(5000000000ull) / 500000));
}

TEST(SettingsTest, FailedMeasurementRestoresAndRemembersOne) {
    fakes::FakeClock clock;
    fakes::FakeSystemFacts facts(clock);
    RecordingPriorities priorities;
    priorities.failRaise = true;
    app::TSettingsValues values;
    app::MeasureCpuSpeed(facts, priorities, values);
    EXPECT_EQ(values.CpuSpeed, 1);
    EXPECT_EQ(priorities.calls.back(), "restore");
}

#ifndef _WIN32
// The Linux store: a damaged file reads as the defaults and is rewritten
// whole with the saved values.
TEST(SettingsTest, DamagedSettingsFileGivesDefaultsAndIsRewrittenWhole) {
    ScratchFolder folder;
    const std::string path = folder.file("settings.ini");
    const char damaged[] = "[Software\\Quarlow\nCPUspeed=\0\xff";
    WriteText(path, std::string(damaged, sizeof damaged - 1));
    platform::IniSettingsStore store(path);
    app::TSettingsValues values;
    int32_t counters[6] = {1, 1, 1, 1, 1, 1};
    app::ReadSettings(store, values, counters);
    EXPECT_EQ(values.CpuSpeed, 0);
    EXPECT_TRUE(values.PriorBurnWasGood);
    EXPECT_EQ(counters[0], 0);
    values.CpuSpeed = 3000;
    app::WriteSettings(store, values, counters);
    app::TSettingsValues reread;
    reread.CpuSpeed = -1;
    app::ReadSettings(store, reread, counters);
    EXPECT_EQ(reread.CpuSpeed, 3000);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find('\xff'), std::string::npos);
    for (const std::string& name : kWrittenNames)
        EXPECT_NE(text.str().find(name + "="), std::string::npos) << name;
    // Written through a temporary file that was renamed into place.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}
#endif

} // namespace
} // namespace qv::test
