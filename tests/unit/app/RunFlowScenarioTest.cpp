// Whole runs of the main window, scenario by scenario: the fakes of the
// harness, the real virtual recorder, and the user's presses at the moments
// the run waits for them. Each checks what the terminal showed, in order,
// and where the run stands at the end.

#include "tests/unit/app/RunFlowHarness.h"

#include "app/RunTexts.h"

#include <functional>
#include <optional>

namespace qv::test {
namespace {

constexpr const char* kMissing =
    "\r\n\r\n*** Required files are missing!  Press OK to exit now.\r\n";
constexpr const char* kDiskFull =
    "\r\n\r\n*** Insufficient hard drive space to proceed! If running from a network drive please "
    "move the file to a local drive.  Press OK to exit now.\r\n";
constexpr const char* kNoAspi = "\r\n\r\n*** No ASPI layer found!  Connect to the Internet then "
                                "press OK to learn how to get one "
                                "at our web site.\r\n";
constexpr const char* kNoMemory =
    "\r\n\r\n*** There is not enough memory available. Try closing other programs now.\r\n";
constexpr const char* kNoRecorderOrMethod =
    "\r\n\r\n*** There is no CD recorder present or no compatible recording method available with "
    "your CD recorder.  No CD can be made.  Connect to the Internet then press OK.\r\n\r\n\r\n";
constexpr const char* kNotDetected =
    "\r\n\r\n*** No CD recorder was detected.  Connect to the Internet to view our help page or "
    "email support@quarlow.example with full problem description and code(NC).\r\n";
constexpr const char* kNoRights =
    "\r\n\r\n*** You need to logon with Administrative rights to access the CD recorder \r\n";
constexpr const char* kNoBlank =
    "\r\n*** Attention - No Blank CD was found, please check it. Then try again by pressing OK "
    "after "
    "inserting a blank CD. Program will exit if a blank CD is not found again.\r\n\r\n";
constexpr const char* kQuestion = "\r\n--> Disc is not blank but it is a CDRW. Do you want to "
                                  "erase it?  All previous data will be "
                                  "lost!\r\n";
constexpr const char* kErasing = "\r\n--> Erasing started, please wait a moment";
constexpr const char* kErased = "\r\n--> Erasing successful.  Beginning recording\r\n";
constexpr const char* kUsingTao = "(Using TAO method- Pause near end is normal)";
constexpr const char* kCanceling = "\r\n\r\n*** Canceling per your request\r\n";
constexpr const char* kNotStarted = "CDRW engine has not been started\r\n";
// Long after every pause of the run: the press comes while it waits.
constexpr uint32_t kLater = 100000;

struct Scenario {
    const char* name;
    std::function<void(RunFlowHarness&)> arrange; // before the first activation
    std::function<void(RunFlowHarness&)> act;     // the user, once the run waits
    std::vector<std::string> items;               // the whole console after the notice
    std::optional<uint8_t> stage;
    const char* rightCaption;
    int32_t runResult;
    std::optional<int> exitCode;
    std::vector<uint8_t> burnStarts;
};

std::vector<std::string> Items(std::initializer_list<std::string> items) {
    return items;
}

// The console up to the recorder's lines of a run whose checks pass.
std::vector<std::string> Passed(std::initializer_list<std::string> more) {
    std::vector<std::string> items = {kTitleLine, kProductItem, kVersionLine, kRecorderLine};
    items.insert(items.end(), more);
    return items;
}

void ExpectCaptionThenPressRight(RunFlowHarness& h, const char* caption) {
    EXPECT_EQ(h.RightCaption(), caption);
    h.PressRight();
}

const Scenario kScenarios[] = {
    {"MissingContentFile",
     [](RunFlowHarness& h) { std::filesystem::remove(h.folder.file("qvorig.qv")); },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Items({kProductItem, kMissing}),
     app::stage::kContentFile,
     "&OK",
     2,
     2,
     {}},
    {"DiskFull",
     [](RunFlowHarness& h) { h.freeBytes = h.run.ownSize - 1; },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Items({kTitleLine, kProductItem, kDiskFull}),
     app::stage::kDiskSpace,
     "&OK",
     3,
     3,
     {}},
    {"NoAspiLayer",
     [](RunFlowHarness& h) { h.versions["wnaspi32.dll|Short"] = "1.020"; },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Items({kTitleLine, kProductItem, kNoAspi}),
     app::stage::kAspiLayer,
     "&OK",
     4,
     4,
     {}},
    {"CarriedAspiLayerInstalled",
     [](RunFlowHarness& h) {
         std::filesystem::remove(h.folder.file("wnaspi32.dll"));
         WriteText(h.folder.file("mqv2k.qv"), "carried layer");
     },
     [](RunFlowHarness& h) {
         EXPECT_TRUE(h.Exists("wnaspi32.dll"));
         EXPECT_FALSE(h.Exists("mqv2k.qv"));
         ExpectCaptionThenPressRight(h, "&Cancel");
     },
     Passed({kUsingTao, kCanceling}),
     std::nullopt,
     "&Cancel",
     1,
     1,
     {2}},
    {"NotEnoughMemory",
     [](RunFlowHarness& h) {
         h.facts.memory = {20ull << 20, 4ull << 20, 0, 0};
     },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&Cancel"); },
     Items({kTitleLine, kProductItem, kNoMemory, kCanceling}),
     app::stage::kBusy,
     "&Cancel",
     1,
     1,
     {}},
    {"NoRecorderOldWindows",
     [](RunFlowHarness& h) {
         h.Configure("drive = 0\n");
         h.run.ntFamily = false;
     },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Items({kTitleLine, kProductItem, "Device not present", kNotStarted, kNotStarted,
            kNoRecorderOrMethod}),
     app::stage::kRecorderReport,
     "&OK",
     8,
     8,
     {}},
    {"NoRecorderAdministrator",
     [](RunFlowHarness& h) { h.Configure("drive = 0\n"); },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Items(
         {kTitleLine, kProductItem, "Device not present", kNotStarted, kNotStarted, kNotDetected}),
     app::stage::kRecorderReport,
     "&OK",
     8,
     8,
     {}},
    {"NoRecorderWithoutRights",
     [](RunFlowHarness& h) {
         h.Configure("drive = 0\n");
         h.facts.administrator = false;
     },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Items({kTitleLine, kProductItem, "Device not present", kNotStarted, kNotStarted, kNoRights}),
     app::stage::kRecorderReport,
     "&OK",
     11,
     11,
     {}},
    // The strings fail but the recorder writes: result 8 stays, and the
    // right button ends the run as a cancel that keeps it.
    {"VendorStringsFail",
     [](RunFlowHarness& h) { h.Configure("vendor_status = 14\n"); },
     [](RunFlowHarness& h) {
         EXPECT_EQ(h.form->SetRunResult(app::result::kCompleted), 8); // the burn's success
         ExpectCaptionThenPressRight(h, "&Cancel");
     },
     Items({kTitleLine, kProductItem, "Bad response from a device", kVersionLine,
            "CD Recorder:   ", kUsingTao}),
     app::stage::kBusy,
     "&Cancel",
     8,
     8,
     {2}},
    // A CD-R with data: no question, the no-blank message; a blank disc
    // inserted before "&OK" starts the recording.
    {"BlankDiscInsertedBeforeOk",
     [](RunFlowHarness& h) { h.InsertWrittenDisc(); },
     [](RunFlowHarness& h) {
         EXPECT_EQ(h.form->RunStage, app::stage::kBlankDisc);
         EXPECT_EQ(h.form->RunResult, 5);
         h.InsertBlankDisc();
         ExpectCaptionThenPressRight(h, "&OK");
     },
     Passed({kNoBlank, kUsingTao}),
     app::stage::kBusy,
     "&Cancel",
     -1,
     std::nullopt,
     {2}},
    // The retry pauses while the drive reloads (the eject of the no-blank
    // report opened it): a second "&OK" then starts no second burn.
    {"OkPressedTwiceWhileTheDriveReloads",
     [](RunFlowHarness& h) { h.InsertWrittenDisc(); },
     [](RunFlowHarness& h) {
         h.InsertBlankDisc();
         h.PressRightAt(h.clock.now + 1000);
         ExpectCaptionThenPressRight(h, "&OK");
     },
     Passed({kNoBlank, kUsingTao}),
     app::stage::kBusy,
     "&Cancel",
     -1,
     std::nullopt,
     {2}},
    // Presses during the retry and the end of the run's pause end the run once.
    {"PressesWhileTheRunEnds",
     [](RunFlowHarness& h) {
         h.InsertWrittenDisc();
         h.facts.online = true;
     },
     [](RunFlowHarness& h) {
         // A press every half second, through the retry and the end's pause.
         for (uint32_t after = 500; after <= 8000; after += 500)
             h.PressRightAt(h.clock.now + after);
         ExpectCaptionThenPressRight(h, "&OK");
         EXPECT_EQ(h.facts.openedUrls.size(), 1u);
     },
     Passed({kNoBlank}),
     app::stage::kBlankDisc,
     "&OK",
     5,
     5,
     {}},
    {"NoBlankDiscTwice",
     [](RunFlowHarness& h) { h.InsertWrittenDisc(); },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Passed({kNoBlank}),
     app::stage::kBlankDisc,
     "&OK",
     5,
     5,
     {}},
    {"RewritableDiscErased",
     [](RunFlowHarness& h) {
         h.Configure("rewritable = 1\n");
         h.InsertWrittenDisc();
         h.PressLeftAt(kLater);
     },
     [](RunFlowHarness& h) { EXPECT_EQ(h.run.values.EraseAnswer, 1); },
     Passed({kQuestion, kErasing, kErased, kUsingTao}),
     app::stage::kBusy,
     "&Cancel",
     -1,
     std::nullopt,
     {2}},
    {"EraseRefused",
     [](RunFlowHarness& h) {
         h.Configure("rewritable = 1\n");
         h.InsertWrittenDisc();
         h.PressRightAt(kLater);
     },
     [](RunFlowHarness& h) {
         EXPECT_TRUE(
             InOrder(h.view.log,
                     {"caption left: Yes", "caption right: No", "caption right: Cancel",
                      "caption left: Help",
                      "console: *** Attention - No Blank CD "
                      "was found, please check it. Then try again by pressing OK after "
                      "inserting a blank CD. Program will exit if a blank CD is not found again.",
                      "caption right: &OK"}));
         ExpectCaptionThenPressRight(h, "&OK");
     },
     Passed({kQuestion, kNoBlank}),
     app::stage::kBlankDisc,
     "&OK",
     5,
     5,
     {}},
    // An earlier refusal in this process: another rewritable disc is not asked about.
    {"QuestionNotAskedAgain",
     [](RunFlowHarness& h) {
         h.Configure("rewritable = 1\n");
         h.InsertWrittenDisc();
         h.run.values.EraseAnswer = 2;
     },
     [](RunFlowHarness&) {},
     Passed({kNoBlank}),
     app::stage::kBlankDisc,
     "&OK",
     5,
     std::nullopt,
     {}},
    {"EraseFails",
     [](RunFlowHarness& h) {
         h.Configure("rewritable = 1\nerase_status = 14\n");
         h.InsertWrittenDisc();
         h.PressLeftAt(kLater);
     },
     [](RunFlowHarness& h) { EXPECT_EQ(h.run.values.EraseAnswer, 2); },
     Passed({kQuestion, kErasing, "\r\n--> Unable to erase this CD, please use a blank one.",
             kNoBlank}),
     app::stage::kBlankDisc,
     "&OK",
     5,
     std::nullopt,
     {}},
    // A press during the busy step of the disk-space check (700-850 ms).
    {"CancelWhileChecking",
     [](RunFlowHarness& h) { h.PressRightAt(800); },
     [](RunFlowHarness&) {},
     Items({kTitleLine, kProductItem, kCanceling}),
     std::nullopt,
     "&Cancel",
     1,
     1,
     {}},
    {"RecorderNotReady",
     [](RunFlowHarness& h) { h.Configure("not_ready_calls = 5\n"); },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&Cancel"); },
     Passed({"Timeout elasped"}),
     app::stage::kBusy,
     "&Cancel",
     76,
     76,
     {}},
    {"DiscImageMissing",
     [](RunFlowHarness& h) { std::filesystem::remove(h.folder.file("qvi9cd.qv")); },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&Cancel"); },
     Passed({kMissing, kCanceling}),
     app::stage::kBusy,
     "&Cancel",
     1,
     1,
     {}},
    {"NoTrackAtOnce",
     [](RunFlowHarness& h) { h.Configure("tao = 0\n"); },
     [](RunFlowHarness& h) { ExpectCaptionThenPressRight(h, "&OK"); },
     Passed({kNoRecorderOrMethod}),
     app::stage::kBusy,
     "&OK",
     6,
     6,
     {}},
};

class RunFlowScenarioTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(RunFlowScenarioTest, ShowsItsLinesAndEndsAsExpected) {
    const Scenario& scenario = GetParam();
    RunFlowHarness h;
    scenario.arrange(h);
    h.Start();
    scenario.act(h);

    std::vector<std::string> expected;
    for (const std::string& item : scenario.items) {
        const std::vector<std::string> lines = LinesOf({item});
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(h.view.ConsoleLines(), expected);
    if (scenario.stage) {
        EXPECT_EQ(h.form->RunStage, *scenario.stage);
    }
    EXPECT_EQ(h.RightCaption(), scenario.rightCaption);
    EXPECT_EQ(h.form->RunResult, scenario.runResult);
    EXPECT_EQ(h.form->ExitCode(), scenario.exitCode);
    EXPECT_EQ(h.burnStarts, scenario.burnStarts);
}

INSTANTIATE_TEST_SUITE_P(Runs, RunFlowScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace qv::test
