// The pre-flight checks one at a time: where they look, what they count as
// enough, and what they leave behind.

#include "tests/unit/app/RunFlowHarness.h"

#include "app/RunTexts.h"

namespace qv::test {
namespace {

TEST(ChecksTest, DiskSpaceNeedsTheWholeAppletSize) {
    struct Case {
        int64_t free;
        bool passes;
    };
    const Case cases[] = {{1000000, true}, {999999, false}, {-1, false}, {int64_t{1} << 40, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.free);
        RunFlowHarness h;
        h.CreateForm();
        h.freeBytes = c.free;
        EXPECT_EQ(h.form->CheckDiskSpace(1000000), c.passes);
        EXPECT_EQ(h.form->RunStage, app::stage::kDiskSpace);
        EXPECT_EQ(h.view.Beeps(), c.passes ? 0 : 1);
    }
}

TEST(ChecksTest, DiskSpaceRootIsTheDriveOnWindowsAndTheFolderElsewhere) {
#ifdef _WIN32
    EXPECT_EQ(app::DiskSpaceRoot("C:\\Games\\Applet"), "C:\\");
    // A network share gives no usable root: the query fails, the check stops.
    EXPECT_EQ(app::DiskSpaceRoot("\\\\server\\share\\dir"), "\\\\s");
#else
    EXPECT_EQ(app::DiskSpaceRoot("/home/user/applet"), "/home/user/applet");
#endif
}

TEST(ChecksTest, AspiSearchGoesThroughTheCurrentFolderThenThePath) {
#ifdef _WIN32
    EXPECT_EQ(
        app::AspiSearchFolders("C:\\work", "C:\\bin;D:;E:\\tools\\;;F:\\x"),
        (std::vector<std::string>{"C:\\work\\", "C:\\bin\\", "D:", "E:\\tools\\", "F:\\x\\"}));
#else
    EXPECT_EQ(app::AspiSearchFolders("/work", "/usr/bin:/opt/x/::/bin"),
              (std::vector<std::string>{"/work/", "/usr/bin/", "/opt/x/", "/bin/"}));
#endif
    EXPECT_EQ(app::AspiSearchFolders("", "").size(), 1u);
}

struct AspiCase {
    const char* name;
    bool inWorkingFolder;
    bool onSearchPath;
    const char* shortVersion;
    bool carried;
    bool passes;
    bool installed; // "wnaspi32.dll" made from the carried layer
};

const AspiCase kAspiCases[] = {
    {"working folder, version 4", true, false, "4.600", true, true, false},
    {"on the path only", false, true, "4.600", true, true, false},
    {"without version information", false, true, "Not Found", true, true, false},
    {"version 1 on the path: installs ours", false, true, "1.020", true, true, true},
    {"version 1 in the working folder", true, false, "1.020", true, false, false},
    {"nowhere: installs ours", false, false, "Not Found", true, true, true},
};

TEST(ChecksTest, AspiLayerOnTheNtFamily) {
    for (const AspiCase& c : kAspiCases) {
        SCOPED_TRACE(c.name);
        RunFlowHarness h;
        std::filesystem::remove(h.folder.file("wnaspi32.dll"));
        if (c.inWorkingFolder) WriteText(h.folder.file("wnaspi32.dll"), "layer");
        ScratchFolder pathFolder;
        if (c.onSearchPath) WriteText(pathFolder.file("wnaspi32.dll"), "layer");
        h.searchPath = pathFolder.path();
        h.versions["wnaspi32.dll|Short"] = c.shortVersion;
        WriteText(h.folder.file("mqv2k.qv"), "carried");
        h.CreateForm();
        EXPECT_EQ(h.form->CheckAspiLayer(true), c.passes);
        EXPECT_EQ(h.form->RunStage, app::stage::kAspiLayer);
        EXPECT_EQ(h.Exists("mqv2k.qv"), !c.passes);
        EXPECT_EQ(h.Exists("wnaspi32.dll"), c.installed || c.inWorkingFolder);
    }
}

TEST(ChecksTest, AspiLayerIsNotInstalledWhenNotAllowed) {
    RunFlowHarness h;
    std::filesystem::remove(h.folder.file("wnaspi32.dll"));
    WriteText(h.folder.file("mqv2k.qv"), "carried");
    h.CreateForm();
    EXPECT_FALSE(h.form->CheckAspiLayer(false));
    EXPECT_FALSE(h.Exists("wnaspi32.dll"));
    EXPECT_EQ(h.RightCaption(), "&OK");
}

TEST(ChecksTest, OldWindowsRemovesOnlyOurOwnLayerOutsideTheSystemFolders) {
    struct Case {
        const char* version;
        bool fromSystemFolder;
        bool layerKept;
    };
    const Case cases[] = {{"5.000", false, false},
                          {"Not Found", false, false},
                          {"4.600", false, true},
                          {"5.000", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        RunFlowHarness h;
        h.run.ntFamily = false;
        h.versions["wnaspi32.dll|Short"] = c.version;
        const std::string folder = app::ExecutableFolder();
        h.run.environment.systemFolder = [&] {
            return c.fromSystemFolder ? folder : "C:\\WINDOWS\\SYSTEM\\";
        };
        h.run.environment.windowsFolder = [] { return std::string("C:\\WINDOWS\\"); };
        WriteText(h.folder.file("mqv2k.qv"), "carried");
        h.CreateForm();
        EXPECT_TRUE(h.form->CheckAspiLayer(true));
        EXPECT_EQ(h.Exists("wnaspi32.dll"), c.layerKept);
        EXPECT_FALSE(h.Exists("mqv2k.qv"));
    }
}

TEST(ChecksTest, MemoryGrades) {
    struct Case {
        uint64_t availableMiB;
        uint64_t totalMiB;
        uint8_t grade;
    };
    const Case cases[] = {{6, 48, 2}, {4, 20, 0}, {7, 0, 4},  {0, 51, 4},
                          {6, 50, 2}, {5, 0, 2},  {0, 21, 2}, {4, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(app::MemoryGradeFor((c.availableMiB << 20) + 1048575, c.totalMiB << 20), c.grade)
            << c.availableMiB << " of " << c.totalMiB;
}

TEST(ChecksTest, RecorderStartHandsTheGradeToTheEngineAndReadsTheRecorder) {
    RunFlowHarness h;
    h.Configure("vendor = ACME\nproduct = CDRW-1\ntao = 1\nsao = 0\ndao = 1\n");
    h.facts.memory = {48ull << 20, 6ull << 20, 0, 0};
    h.CreateForm();
    EXPECT_TRUE(h.form->StartRecorderLibrary());
    EXPECT_EQ(h.run.checks.MemoryGrade, 2);
    EXPECT_TRUE(h.form->RecorderFound);
    EXPECT_EQ(h.form->VendorText, "ACME");
    EXPECT_EQ(h.form->ProductText, "CDRW-1");
    EXPECT_TRUE(h.form->TaoFlag);
    EXPECT_FALSE(h.form->SecondModeFlag);
    EXPECT_TRUE(h.form->ThirdModeFlag);
    EXPECT_TRUE(h.form->ReportRecorder());
    EXPECT_EQ(h.view.ConsoleLines().back(), "CD Recorder:  ACME CDRW-1");
}

TEST(ChecksTest, RecorderStartWithoutTheLibrarySaysFilesAreMissing) {
    RunFlowHarness h;
    recording::SetEngineFolder(h.folder.path()); // no engine there
    h.CreateForm();
    EXPECT_TRUE(h.form->StartRecorderLibrary());
    EXPECT_FALSE(h.form->RecorderFound);
    EXPECT_EQ(h.form->RunResult, 8);
    EXPECT_EQ(h.view.ConsoleLines(),
              LinesOf({app::run_text::kRequiredFilesMissing, "Device not present"}));
    EXPECT_FALSE(h.form->ReportRecorder());
    EXPECT_EQ(h.form->RunStage, app::stage::kRecorderReport);
}

TEST(ChecksTest, RecorderStartWithAnEngineOfTheOtherBitnessNamesIt) {
    RunFlowHarness h;
    WriteBytes(h.folder.path() + "/" + recording::kEngineLibraryName,
               PeLibraryHeader(kOtherBitnessMachine));
    recording::SetEngineFolder(h.folder.path());
    h.CreateForm();
    EXPECT_TRUE(h.form->StartRecorderLibrary());
    EXPECT_EQ(h.form->RunResult, 8);
    EXPECT_EQ(h.view.ConsoleLines(), LinesOf({app::run_text::kRequiredFilesMissing,
                                              recording::kWrongEngineText, "Device not present"}));
    EXPECT_FALSE(h.form->ReportRecorder());
}

TEST(ChecksTest, WriteModesFailingGiveResultSix) {
    RunFlowHarness h;
    h.Configure("write_modes_status = 2\n");
    h.CreateForm();
    EXPECT_TRUE(h.form->StartRecorderLibrary());
    EXPECT_EQ(h.form->RunResult, 6);
    EXPECT_EQ(h.view.ConsoleLines(), LinesOf({"General failure occured"}));
}

TEST(ChecksTest, CdPlayerIsToldToQuitByItsTitle) {
    struct Case {
        std::vector<std::string> titles;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {{"Editor", "Deluxe CD Player - Track 1", "CD Player"}, {"Deluxe CD Player - Track 1"}},
        {{"deluxe cd player", "CD PLAYER"}, {}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        RunFlowHarness h;
        h.facts.windowTitles = c.titles;
        h.CreateForm();
        const uint8_t stage = h.form->RunStage;
        EXPECT_TRUE(h.form->ShutDownCdPlayer());
        EXPECT_EQ(h.facts.quitRequests, c.told);
        EXPECT_EQ(h.form->RunStage, stage);
    }
}

TEST(ChecksTest, BlankDiscRetryAsksNoQuestionAndWritesNoMessage) {
    RunFlowHarness h;
    h.Configure("rewritable = 1\n");
    h.InsertWrittenDisc();
    h.CreateForm();
    ASSERT_TRUE(h.form->StartRecorderLibrary());
    h.view.log.clear();
    EXPECT_FALSE(h.form->CheckBlankDisc(false));
    EXPECT_TRUE(h.view.ConsoleLines().empty());
    EXPECT_EQ(h.form->RunStage, app::stage::kBlankDisc);
    EXPECT_EQ(h.run.values.EraseAnswer, 0);
}

TEST(ChecksTest, BlankDiscTestReloadsOnceAndReportsTheEngine) {
    RunFlowHarness h;
    h.Configure("inserted = 0\n");
    h.CreateForm();
    ASSERT_TRUE(h.form->StartRecorderLibrary());
    h.view.log.clear();
    EXPECT_FALSE(h.form->CheckBlankDisc(false));
    EXPECT_EQ(h.loop.pauses, (std::vector<uint32_t>{150, 150, 4500}));
    EXPECT_EQ(h.view.ConsoleLines(), LinesOf({"No blank disc in device"}));
}

} // namespace
} // namespace qv::test
