// The engine binding against stand-in engines and the real one.

#include "recording/CdRwLibE.h"
#include "tests/unit/engine/EngineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace qv::test {
namespace {

using recording::EngineEntries;

using TakeLogFn = int32_t(CDRW_CALL*)(char*, uint32_t);
using SetAddressFn = void(CDRW_CALL*)(uint8_t, uint8_t);

// The calls a stand-in engine received since the last look.
std::string TakeLog(platform::LibraryHandle library) {
    const auto take =
        reinterpret_cast<TakeLogFn>(platform::FindLibraryEntry(library, "TestEngineTakeLog"));
    if (take == nullptr) return "<no log>";
    std::vector<char> buffer(65536);
    take(buffer.data(), static_cast<uint32_t>(buffer.size()));
    return buffer.data();
}

std::string StartCalls(std::initializer_list<std::pair<int, int>> addresses, int lun) {
    std::string log;
    for (const auto& [adapter, target] : addresses)
        log += "Start(" + std::to_string(adapter) + "," + std::to_string(target) + "," +
               std::to_string(lun) + ",4,8192)\n";
    return log;
}

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        recording::FreeEngine();
        recording::SetEngineFolder(TestEngineDir("recording_engine"));
    }
    void TearDown() override {
        recording::FreeEngine();
        recording::SetEngineFolder("");
    }

    // Loads the recording stand-in with its recorder at adapter 1, target 0
    // and an empty log. Its state may outlive a release: libraries with
    // unique C++ symbols are never unmapped on Linux.
    void loadStandIn() {
        ASSERT_TRUE(recording::LoadEngine());
        setAddress(1, 0);
        TakeLog(recording::EngineHandle());
    }
    static void setAddress(uint8_t adapter, uint8_t target) {
        const auto set = reinterpret_cast<SetAddressFn>(
            platform::FindLibraryEntry(recording::EngineHandle(), "TestEngineSetAddress"));
        ASSERT_NE(set, nullptr);
        set(adapter, target);
    }
};

TEST_F(BindingTest, MissingLibraryLeavesTheEngineUnloadedAndFindsNothing) {
    // A handle of our own keeps the stand-in loaded, so its log survives.
    const platform::LibraryHandle own =
        platform::OpenLibrary(TestEngineDir("recording_engine"), recording::kEngineLibraryName);
    ASSERT_NE(own, nullptr);
    ASSERT_TRUE(recording::LoadEngine());
    ASSERT_TRUE(recording::FreeEngine());
    TakeLog(own);

    ScratchFolder empty;
    recording::SetEngineFolder(empty.path());
    EXPECT_FALSE(recording::LoadEngine());
    EXPECT_FALSE(recording::EngineLoaded());
    uint8_t adapter = 7, target = 7, lun = 0;
    EXPECT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_NOT_PRESENT);
    EXPECT_EQ(adapter, 7);
    EXPECT_EQ(TakeLog(own), "") << "no engine call without a loaded engine";
    EXPECT_TRUE(platform::CloseLibrary(own));
}

TEST_F(BindingTest, UnloadableLibraryIsNamedWrongOnlyWhenBuiltForTheOtherBitness) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool otherMachine;
    } cases[] = {
        {"no file", {}, false},
        {"not a library", std::vector<uint8_t>(300, 'x'), false},
        {"this machine, broken", PeLibraryHeader(kThisMachine), false},
        {"the other bitness", PeLibraryHeader(kOtherBitnessMachine), true},
        {"the other bitness, ELF", ElfLibraryHeader(kOtherBitnessMachine), true},
        {"PE header past the end", {'M', 'Z', 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        if (!c.bytes.empty()) WriteBytes(folder.file(recording::kEngineLibraryName), c.bytes);
        recording::SetEngineFolder(folder.path());
        EXPECT_FALSE(recording::LoadEngine());
        EXPECT_EQ(recording::EngineOfOtherMachine(), c.otherMachine);
    }
    recording::SetEngineFolder(TestEngineDir("recording_engine"));
    EXPECT_TRUE(recording::LoadEngine());
    EXPECT_FALSE(recording::EngineOfOtherMachine()) << "a loaded engine clears the reason";
}

// The engine reads the job by these offsets whatever the applet's bitness.
TEST(BindingJobRecord, BurnJobHasItsSizeAndOffsetsOnEveryBuild) {
    struct Field {
        const char* name;
        size_t offset;
        size_t expected;
    } fields[] = {
        {"size", sizeof(BurnJob), 34740},
        {"first", offsetof(BurnJob, first), 0},
        {"path", offsetof(BurnJob, path), 4},
        {"path[1]", offsetof(BurnJob, path[1]), 264},
        {"entryWord", offsetof(BurnJob, entryWord), 25744},
        {"entryCount", offsetof(BurnJob, entryCount), 26140},
        {"size[0]", offsetof(BurnJob, size), 26144},
        {"title", offsetof(BurnJob, title), 26540},
        {"title[1]", offsetof(BurnJob, title[1]), 26622},
        {"discTitle", offsetof(BurnJob, discTitle), 34658},
    };
    for (const Field& f : fields)
        EXPECT_EQ(f.offset, f.expected) << f.name;
}

TEST_F(BindingTest, LibraryLackingAnEntryIsRefusedWithAnAssertionFailure) {
    const std::regex message(R"(Assertion failure \(CdRwLibE, line (\d+)\))");
    int lines[2] = {};
    const char* folders[] = {"engine_without_sendopc", "engine_without_audio"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(folders[i]);
        recording::SetEngineFolder(TestEngineDir(folders[i]));
        try {
            recording::LoadEngine();
            ADD_FAILURE() << "no assertion failure";
        } catch (const recording::EAssertionFailed& failure) {
            std::cmatch match;
            ASSERT_TRUE(std::regex_match(failure.what(), match, message)) << failure.what();
            lines[i] = std::stoi(match[1]);
        }
        EXPECT_FALSE(recording::EngineLoaded());
        EXPECT_FALSE(recording::FreeEngine());
    }
    EXPECT_LT(lines[0], lines[1]) << "SendOpc is checked before the audio writers";

    // A complete library loads after a refused one.
    recording::SetEngineFolder(TestEngineDir("recording_engine"));
    EXPECT_TRUE(recording::LoadEngine());
}

TEST_F(BindingTest, ScanWalksTargetsWithinAdaptersAndStopsAtTheFirstAnswer) {
    loadStandIn();
    uint8_t adapter = 9, target = 9, lun = 0;
    EXPECT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_SUCCESS);
    EXPECT_EQ(adapter, 1);
    EXPECT_EQ(target, 0);
    EXPECT_EQ(lun, 0);
    EXPECT_EQ(
        TakeLog(recording::EngineHandle()),
        StartCalls({{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}, {1, 0}}, 0));
}

TEST_F(BindingTest, ScanWithoutAnswerTriesAllSixtyFourAddresses) {
    loadStandIn();
    setAddress(8, 0);

    uint8_t adapter = 5, target = 6, lun = 3;
    EXPECT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_NOT_PRESENT);
    EXPECT_EQ(adapter, 5);
    EXPECT_EQ(target, 6);
    EXPECT_EQ(lun, 3);
    const std::string log = TakeLog(recording::EngineHandle());
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 64);
    EXPECT_EQ(log.substr(log.rfind("Start")), "Start(7,7,3,4,8192)\n");
}

TEST_F(BindingTest, SecondLoadReResolvesWithoutReloading) {
    ASSERT_TRUE(recording::LoadEngine());
    const platform::LibraryHandle first = recording::EngineHandle();
    EngineEntries.Start = nullptr;
    ASSERT_TRUE(recording::LoadEngine());
    EXPECT_EQ(recording::EngineHandle(), first);
    EXPECT_NE(EngineEntries.Start, nullptr);
}

TEST_F(BindingTest, FreeEngineReleasesOnlyALoadedLibrary) {
    EXPECT_FALSE(recording::FreeEngine()) << "nothing loaded";
    ASSERT_TRUE(recording::LoadEngine());
    const platform::LibraryHandle handle = recording::EngineHandle();
    EXPECT_TRUE(recording::FreeEngine());
    EXPECT_FALSE(recording::EngineLoaded());
    EXPECT_EQ(recording::EngineHandle(), handle) << "the handle value stays";
    EXPECT_EQ(EngineEntries.WriteCdDataTao, nullptr);
    EXPECT_FALSE(recording::FreeEngine()) << "released once only";

    loadStandIn();
    EXPECT_TRUE(recording::EngineLoaded());
    EXPECT_EQ(EngineEntries.Unload(), CDRW_SUCCESS);
    EXPECT_EQ(TakeLog(recording::EngineHandle()), "Unload\n");
}

TEST_F(BindingTest, RealEngineLoadsAndIsFoundAtItsDefaultAddress) {
    ScratchFolder scratch;
    const std::string config = scratch.file("engine.cfg");
    WriteText(config, "disc = " + scratch.file("disc.img") + "\nvendor = ACME\n");
    SetEnvironment("CDRWLIB_CONFIG", config);
    recording::SetEngineFolder(BuiltEngineDir());

    ASSERT_TRUE(recording::LoadEngine());
    uint8_t adapter = 0, target = 0, lun = 0;
    EXPECT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_SUCCESS);
    EXPECT_EQ(adapter, 1);
    EXPECT_EQ(target, 0);
    char vendor[CDRW_TEXT_BUFFER_SIZE] = {}, product[CDRW_TEXT_BUFFER_SIZE] = {};
    EXPECT_EQ(EngineEntries.GetVendorProductStrings(vendor, product), CDRW_SUCCESS);
    EXPECT_STREQ(vendor, "ACME");
    EXPECT_TRUE(recording::FreeEngine());
    SetEnvironment("CDRWLIB_CONFIG", "");
}

TEST(BindingStatusText, CodesInTheTableGiveTheirTextOthersLeaveTheCallersText) {
    struct Case {
        int32_t code;
        const char* expected;
    } cases[] = {
        {0, "Unknown status of the operation"},
        {1, ""},
        {2, "General failure occured"},
        {8, "\r\n(code ACF)\r\n\r\n\r\n"},
        {11, "CDRW engine has not been started\r\n"},
        {16, "Timeout elasped"},
        {19, "Burning process terminated"},
        {20, "Device doesn't support requested feature"},
        {23, "Device not present"},
        {24, "caller's"},
        {-1, "caller's"},
    };
    for (const Case& c : cases) {
        std::string text = "caller's";
        recording::EngineStatusText(c.code, text);
        EXPECT_EQ(text, c.expected) << "code " << c.code;
    }
}

} // namespace
} // namespace qv::test
