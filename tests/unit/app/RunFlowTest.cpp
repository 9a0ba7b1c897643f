// The main window's run flow piece by piece: the right button by stage, the
// first activation, the burn side's messages, the writing-time estimate, the
// title of the content and the drive wait.

#include "tests/unit/app/RunFlowHarness.h"

#include "app/ContentTitle.h"
#include "app/FormBurnWindow.h"

#include <optional>
#include <stdexcept>

namespace qv::test {
namespace {

constexpr const char* kCanceling = "*** Canceling per your request";

struct StagePress {
    uint8_t stage;
    int32_t resultBefore;
    std::optional<int> exitCode; // nothing: the press does nothing
    bool cancel;
    bool cancelLine;
};

// Stage 5 (the retry) has scenarios of its own.
const StagePress kStagePresses[] = {
    {0, -1, std::nullopt, false, false},
    {1, -1, 2, false, false},
    {2, -1, 3, false, false},
    {3, -1, 1, true, true},
    {4, -1, 4, false, false},
    {6, -1, std::nullopt, false, false},
    {7, -1, 8, false, false},
    {7, 11, 11, false, false},
    {8, -1, 1, true, true},
    {9, -1, 1, true, true},
    {9, 7, 7, true, false},
    {10, -1, 0, false, false},
    {10, 8, 8, false, false},
    {200, -1, 1, true, true},
};

TEST(RunFlowTest, RightButtonActsByStage) {
    for (const StagePress& press : kStagePresses) {
        SCOPED_TRACE("stage " + std::to_string(press.stage) + ", result " +
                     std::to_string(press.resultBefore));
        RunFlowHarness h;
        h.CreateForm();
        h.form->RunStage = press.stage;
        h.form->RunResult = press.resultBefore;
        h.PressRight();
        EXPECT_EQ(h.form->ExitCode(), press.exitCode);
        const auto lines = h.view.ConsoleLines();
        EXPECT_EQ(std::find(lines.begin(), lines.end(), kCanceling) != lines.end(),
                  press.cancelLine);
        EXPECT_EQ(h.run.values.CancelRequested, press.cancel);
    }
}

TEST(RunFlowTest, OnlyTheFirstActivationStartsTheRun) {
    RunFlowHarness h;
    h.Start();
    const std::vector<std::string> afterFirst = h.view.log;
    ASSERT_EQ(h.burnStarts.size(), 1u);
    const size_t sleeps = h.facts.sleeps.size();
    h.form->ApplicationEvents1Activate();
    EXPECT_EQ(h.view.log, afterFirst);
    EXPECT_EQ(h.burnStarts.size(), 1u);
    // Later activations only yield the time slice.
    EXPECT_EQ(h.facts.sleeps.size(), sleeps + 1);
    EXPECT_EQ(h.facts.sleeps.back(), 0u);
}

TEST(RunFlowTest, RunStartReadsTheTestSwitchAndLowersTheWindowThread) {
    RunFlowHarness h;
    h.Start();
    EXPECT_EQ(h.form->WriteMode, 2);
    // Once before the burn thread starts, once after it started.
    EXPECT_EQ(h.windowPriorities,
              (std::vector<platform::ThreadPriority>{platform::ThreadPriority::BelowNormal,
                                                     platform::ThreadPriority::BelowNormal}));
    EXPECT_EQ(h.run.values.ContentTitle, "Demo Disc");
    // Run start 500 and 200, six busy steps, the drive wait.
    EXPECT_EQ(h.loop.pauses, (std::vector<uint32_t>{500, 200, 150, 150, 150, 150, 150, 150, 4500}));
}

TEST(RunFlowTest, BurnThreadThatDoesNotStartHandsOverTheRightButton) {
    RunFlowHarness h;
    h.burnStartsSucceed = false;
    h.Start();
    EXPECT_EQ(h.RightCaption(), "&OK");
    const auto lines = h.view.ConsoleLines();
    EXPECT_EQ(lines.back(), kRecorderLine);
}

#ifndef _WIN32
// Packet-writing software holds the drive: a blocking sleep instead of the
// pause. Its fixed Windows path names one file of the working folder here
// ("\" is an ordinary character of a POSIX name).
TEST(RunFlowTest, DriveWaitSleepsWhenPacketWritingSoftwareIsPresent) {
    RunFlowHarness h;
    WriteText(h.folder.file("C:\\Program Files\\DirectCD\\Directcd.exe"), "x");
    h.Start();
    EXPECT_EQ(h.facts.sleeps.back(), 20000u);
    EXPECT_EQ(h.loop.pauses.back(), 150u);
    EXPECT_EQ(h.burnStarts.size(), 1u);
}
#endif

TEST(RunFlowTest, BadContentFilesGiveNoTitleAndTheRunGoesOn) {
    const std::pair<const char*, std::string> files[] = {
        {"empty", ""},
        {"binary", std::string("\x00\xff\x13[TITLE\x00]\x01Title=x", 19)},
        {"no title section", "Demo source\r\n[TRACKS AND TAGS]\r\nTitle=Track\r\n"},
        {"empty title", "[TITLE]\r\nTitle =\r\n"},
    };
    for (const auto& [name, text] : files) {
        SCOPED_TRACE(name);
        RunFlowHarness h;
        WriteText(h.folder.file("qvorig.qv"), text);
        h.Start();
        const auto lines = h.view.ConsoleLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "Data Quarlow");
        EXPECT_EQ(h.burnStarts.size(), 1u);
    }
}

TEST(ContentTitleTest, ReadsTheTitleKeyOfTheTitleSection) {
    EXPECT_EQ(app::IniValue("[TITLE]\r\nTitle =My CD\r\n", "TITLE", "Title "), "My CD");
    EXPECT_EQ(app::IniValue("[title]\nTITLE=My CD\n", "TITLE", "Title"), "My CD");
    EXPECT_EQ(app::IniValue("[Other]\nTitle=No\n[TITLE]\nName=x\nTitle = \"Quoted\" \n", "TITLE",
                            "Title"),
              "Quoted");
    EXPECT_EQ(app::IniValue("[TITLE]\nName=x\n[Next]\nTitle=No\n", "TITLE", "Title"), "");
    EXPECT_EQ(app::IniValue("Title=outside\n", "TITLE", "Title"), "");
}

TEST(RunFlowTest, BurnMessagesReachTheGaugeAndTheConsole) {
    RunFlowHarness h;
    h.CreateForm();
    EXPECT_EQ(h.form->WindowMessage(app::WM_BURNPROGRESS, 57, 100), 0);
    EXPECT_EQ(h.view.GaugePosition(app::Gauge::Main), 57);
    EXPECT_EQ(h.view.GaugeMax(app::Gauge::Main), 100);
    // The last pass after the write may count past the end: the gauge stops
    // at its maximum.
    EXPECT_EQ(h.form->WindowMessage(app::WM_BURNPROGRESS, 110, 100), 0);
    EXPECT_EQ(h.view.GaugePosition(app::Gauge::Main), 100);
    const char status[] = "\r\n\r\n*** Unable to set the speed.\r\n Bad parameter passed";
    EXPECT_EQ(h.form->WindowMessage(app::WM_BURNSTATUS, 0, reinterpret_cast<intptr_t>(status)), 0);
    EXPECT_EQ(h.view.ConsoleLines(), LinesOf({status}));
    EXPECT_EQ(h.form->WindowMessage(app::WM_BURNPROGRESS + 7, 1, 2), std::nullopt);
}

TEST(RunFlowTest, TheWindowRefusesToCloseAndRefusesAutoPlayOnlyWhileSuppressed) {
    RunFlowHarness h;
    h.CreateForm();
    EXPECT_FALSE(h.form->CloseRequested());
    const uint32_t autoPlay = h.form->QueryCancelAutoPlayMessage;
    ASSERT_NE(autoPlay, 0u);
    EXPECT_EQ(h.form->WindowMessage(autoPlay), 1);
    EXPECT_EQ(h.form->WindowMessage(autoPlay + 1), std::nullopt);
    h.run.values.SuppressAutoPlay = false;
    EXPECT_EQ(h.form->WindowMessage(autoPlay), std::nullopt);
}

struct BurnEnd {
    bool wrote;
    int32_t resultBefore;
    int32_t result;
    bool announced;
};

const BurnEnd kBurnEnds[] = {
    {true, -1, -1, true},
    {false, -1, 7, false}, // no good write: no CD to announce
    {true, 1, 1, false},   // cancelled meanwhile
    {false, 8, 8, false},
};

TEST(RunFlowTest, TheBurnsEndDecidesTheRunsOutcome) {
    for (const BurnEnd& end : kBurnEnds) {
        SCOPED_TRACE(std::to_string(end.wrote) + ", result " + std::to_string(end.resultBefore));
        RunFlowHarness h;
        h.CreateForm();
        h.form->RunStage = app::stage::kBusy;
        h.form->WriteMode = 2;
        h.form->RunResult = end.resultBefore;
        h.form->ProgressBar.SetMax(100);
        h.form->ProgressBar.SetPosition(40);
        app::MakeFormBurnWindow(*h.form)->BurnEnded(end.wrote);
        EXPECT_EQ(h.form->RunResult, end.result);
        const auto lines = h.view.ConsoleLines();
        EXPECT_EQ(std::find(lines.begin(), lines.end(), "CD completed successfully!") !=
                      lines.end(),
                  end.announced);
        EXPECT_EQ(h.form->RunStage, end.announced ? app::stage::kBurnSucceeded : app::stage::kBusy);
        EXPECT_EQ(h.form->WriteModeCounters[app::kTaoSuccess], end.announced ? 1 : 0);
        EXPECT_EQ(h.form->SuccFragment, end.announced ? "&Succ=0.0.1" : "&Succ=0.0.0");
        EXPECT_EQ(h.run.progressHint, "40");
        EXPECT_EQ(h.view.GaugePosition(app::Gauge::Main), 100);
        EXPECT_EQ(h.RightCaption(), "&OK");
        EXPECT_FALSE(h.run.values.SuppressAutoPlay);
        EXPECT_EQ(h.facts.beeps, 1);
    }
}

struct Estimate {
    int32_t ownSize;
    int64_t speedFactor;
    bool testing;
    const char* line;
    const char* speedText;
    uint32_t megabytes;
};

const Estimate kEstimates[] = {
    {104857600, 8, false, "CD will be ready in 3 minutes.", "8", 99},
    {104857600, 8, true, "Speed is 8X: CD will be ready in 3 minutes.", "8", 99},
    {2000000, 12, false, "CD will be ready in 2 minutes.", "12", 0},
    {104857600, 1, false, "CD will be ready in 7 minutes.", "2", 99},
    {104857600, 2, false, "CD will be ready in 7 minutes.", "2", 99},
    {700 << 20, 4, true, "Speed is 4X: CD will be ready in 21 minutes.", "4", 699},
    // Beyond a signed byte the fastest factor that fits stands in.
    {700 << 20, 128, true, "Speed is 127X: CD will be ready in 2 minutes.", "127", 699},
    {700 << 20, 170, false, "CD will be ready in 2 minutes.", "127", 699},
};

TEST(RunFlowTest, TimeEstimateArithmeticAndLines) {
    for (const Estimate& estimate : kEstimates) {
        SCOPED_TRACE(estimate.line);
        RunFlowHarness h;
        h.CreateForm();
        h.run.ownSize = estimate.ownSize;
        h.run.settings.Testing = estimate.testing;
        h.form->SpeedFactor = estimate.speedFactor;
        h.form->TimeEstimate();
        EXPECT_EQ(h.view.ConsoleLines(),
                  (std::vector<std::string>{"Don't disturb or run other programs while recording.",
                                            estimate.line}));
        EXPECT_EQ(h.form->SpeedText, estimate.speedText);
        EXPECT_EQ(h.form->PayloadMegabytes, estimate.megabytes);
        EXPECT_EQ(h.view.GaugePosition(app::Gauge::Main), 5);
    }
}

} // namespace
} // namespace qv::test
