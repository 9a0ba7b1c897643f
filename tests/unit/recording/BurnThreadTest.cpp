// The burn thread, its progress watcher and the two handlers, against the
// virtual recorder (and a stand-in engine where the call itself matters).

#include "recording/BurnMessages.h"
#include "recording/CdRwLibE.h"
#include "recording/UnitBurn.h"

#include "tests/fakes/FakeSystemFacts.h"
#include "tests/unit/engine/EngineHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace qv::test {
namespace {

using namespace std::chrono_literals;

// The window side as a record of what the burn side asked of it.
class RecordingWindow final : public recording::BurnWindow {
public:
    RecordingWindow(std::string folder, recording::BurnState& burn)
        : burn_(burn), loop_(platform::MakeEventLoop()), folder_(std::move(folder)) {
        loop_->SetWindowMessageHandler([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
            HandleBurnMessage(message, wParam, lParam);
            return intptr_t{0};
        });
    }

    platform::EventLoop& Loop() override { return *loop_; }
    platform::SystemFacts& System() override { return facts; }
    void HandleBurnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
        if (message == recording::WM_BURNPROGRESS) {
            progress.push_back(static_cast<int>(wParam));
            gaugePosition = static_cast<int>(wParam);
            if (const BurnJob* job = burn_.job.load(); job != nullptr)
                discTitleSeen = job->discTitle;
            if (onProgress) onProgress();
        } else if (message == recording::WM_BURNSTATUS) {
            lines.emplace_back(reinterpret_cast<const char*>(lParam));
            engineLoadedAtStatus.push_back(recording::EngineLoaded());
        }
    }
    void RecordingFailed() override {
        if (runResult < 2) runResult = 7;
    }
    std::string CurrentContentTitle() const override { return contentTitle; }
    std::string ShortDateToday() const override { return "12/09/2026"; }
    std::string AppletFolder() const override { return folder_; }
    std::string DiscImagePath() const override { return folder_ + "qvi9cd.qv"; }
    std::string ContentFilePath() const override { return folder_ + "qvorig.qv"; }
    recording::SpeedHistory ReadSpeedHistory() const override { return history; }
    void StoreThrottleHold(bool hold) override { history.holdThrottle = hold; }
    void ApplySpeedFactor(int64_t factor) override {
        speedFactor = factor;
        if (failAtSpeedFactor) throw std::range_error("Range check error");
    }
    void DisableLeftButton() override { leftDisabled = true; }
    void ProcessWindowMessages() override { loop_->ProcessMessages(); }
    void SetGaugeHintToPercent() override { gaugeHint = std::to_string(gaugePosition); }
    void CountRecording(bool success) override { ++(success ? successes : failures); }
    // The run's clean-up releases the library as the window's would.
    void BurnEnded(bool wrote) override {
        ended.push_back(wrote);
        if (recording::EngineLoaded()) recording::EngineEntries.Unload();
        recording::ReleaseEngineWhenIdle(burn_);
    }

    bool HasLine(const std::string& start) const {
        for (const std::string& line : lines)
            if (line.starts_with(start)) return true;
        return false;
    }

    fakes::FakeClock clock;
    fakes::FakeSystemFacts facts{clock};
    recording::SpeedHistory history{450, true, 4, true, false, 0, 0};
    std::string contentTitle = "Demo Disc";
    std::vector<int> progress;
    std::vector<std::string> lines;
    std::vector<bool> engineLoadedAtStatus;
    std::string discTitleSeen;
    std::string gaugeHint = "-";
    std::function<void()> onProgress;
    bool failAtSpeedFactor = false;
    int gaugePosition = 0;
    int32_t runResult = -1;
    int64_t speedFactor = -1;
    bool leftDisabled = false;
    int successes = 0;
    int failures = 0;
    std::vector<bool> ended; // what each end of the thread reported

private:
    recording::BurnState& burn_;
    std::unique_ptr<platform::EventLoop> loop_;
    std::string folder_;
};

class BurnThreadTest : public ::testing::Test {
protected:
    void SetUp() override { recording::FreeEngine(); }
    void TearDown() override {
        recording::FreeEngine();
        recording::SetEngineFolder("");
        SetEnvironment("CDRWLIB_CONFIG", "");
    }

    // The virtual recorder with its disc in the scratch folder.
    void UseVirtualRecorder(const std::string& extraConfig) {
        const std::string config = scratch_.file("engine.cfg");
        WriteText(config, "disc = " + scratch_.file("disc.img") + "\n" + extraConfig);
        SetEnvironment("CDRWLIB_CONFIG", config);
        StartEngine(BuiltEngineDir());
    }
    void StartEngine(const std::string& folder) {
        recording::SetEngineFolder(folder);
        ASSERT_TRUE(recording::LoadEngine());
        uint8_t adapter = 0, target = 0, lun = 0;
        ASSERT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_SUCCESS);
    }
    void WriteImage(size_t bytes) {
        std::vector<uint8_t> image(bytes);
        for (size_t i = 0; i < bytes; ++i)
            image[i] = static_cast<uint8_t>(i * 7 + 3);
        WriteBytes(scratch_.file("qvi9cd.qv"), image);
    }
    // Runs the window thread until the termination handler has run.
    void Burn(recording::TBurnDataModule& module, RecordingWindow& window, bool testWrite = false) {
        module.SetTestWrite(testWrite);
        ASSERT_TRUE(module.StartBurn(recording::kTrackAtOnce));
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (window.ended.empty() && std::chrono::steady_clock::now() < end)
            window.Loop().Pause(10);
        ASSERT_EQ(window.ended.size(), 1u) << "the burn did not end";
        window.Loop().ProcessMessages();
    }
    std::string Folder() const { return scratch_.path() + "/"; }

    ScratchFolder scratch_;
    recording::BurnState burn_;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(BurnThreadTest, CompleteWriteCountsTenSectorBlocksAndReportsAGoodWrite) {
    UseVirtualRecorder("time_scale = 0.3\n");
    WriteImage(2048000);
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    Burn(module, window);

    // Each signal stands for 100 of the 1,000 sectors; signals that come
    // faster than the watcher wakes merge into one (the event is manual-reset),
    // so on a busy machine a step of 10 may be skipped but never split.
    ASSERT_FALSE(window.progress.empty());
    for (size_t i = 0; i < window.progress.size(); ++i) {
        EXPECT_EQ(window.progress[i] % 10, 0) << "at " << i;
        if (i > 0) {
            EXPECT_GT(window.progress[i], window.progress[i - 1]) << "at " << i;
        }
    }
    EXPECT_GE(window.progress.back(), 50);
    EXPECT_EQ(window.speedFactor, 12);
    EXPECT_FALSE(window.leftDisabled);
    EXPECT_EQ(window.ended, std::vector<bool>{true});
    EXPECT_EQ(window.runResult, -1);
    EXPECT_FALSE(module.HasBurnThread());
    EXPECT_EQ(window.discTitleSeen, "Demo Disc       12/09/2026");
    EXPECT_EQ(ReadAll(scratch_.file("disc.img")), ReadAll(scratch_.file("qvi9cd.qv")));
    EXPECT_FALSE(recording::EngineLoaded());
}

TEST_F(BurnThreadTest, ImageBelowOneSectorGivesTheSectorsLineAndNoProgress) {
    UseVirtualRecorder("time_scale = 0\n");
    WriteImage(1000);
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    Burn(module, window);

    EXPECT_TRUE(window.progress.empty());
    EXPECT_EQ(
        std::count(window.lines.begin(), window.lines.end(), recording::burn_text::kNoTotalSectors),
        1);
    EXPECT_EQ(window.ended, std::vector<bool>{true});
}

TEST_F(BurnThreadTest, LongTitleIsCutTo81Characters) {
    UseVirtualRecorder("time_scale = 0.3\n");
    WriteImage(409600);
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    window.contentTitle = std::string(100, 'T');
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    Burn(module, window);
    ASSERT_FALSE(window.progress.empty());
    EXPECT_EQ(window.discTitleSeen, std::string(81, 'T'));
}

TEST_F(BurnThreadTest, WriteFailureGivesResultSevenAndNoCounterChange) {
    UseVirtualRecorder("time_scale = 0\nwrite_fail_sector = 300\n");
    WriteImage(2048000);
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    Burn(module, window);

    EXPECT_EQ(window.runResult, 7);
    EXPECT_TRUE(window.HasLine(recording::burn_text::kWriteProblem));
    EXPECT_EQ(window.ended, std::vector<bool>{false});
    EXPECT_EQ(window.successes + window.failures, 0);
}

// Whatever stops the thread before the write call, no CD was made.
TEST_F(BurnThreadTest, AnErrorBeforeTheWriteEndsAsAFailedRecording) {
    UseVirtualRecorder("time_scale = 0\n");
    WriteImage(409600);
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    window.failAtSpeedFactor = true;
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    Burn(module, window);

    EXPECT_EQ(window.runResult, 7);
    EXPECT_TRUE(
        window.HasLine(std::string(recording::burn_text::kWriteProblem) + " Range check error"));
    EXPECT_EQ(window.ended, std::vector<bool>{false});
    EXPECT_FALSE(std::filesystem::exists(scratch_.file("disc.img")));
}

TEST_F(BurnThreadTest, CancelWhileWritingReleasesTheLibraryOnlyAfterTheWriteReturned) {
    UseVirtualRecorder("time_scale = 1\n");
    WriteImage(20480000); // 10,000 sectors: about eleven seconds at 12x
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    bool cancelled = false;
    window.onProgress = [&] {
        if (cancelled) return;
        cancelled = true;
        window.runResult = 1; // the window records the cancel first
        window.Loop().Post([&] { module.AbortBurn(); });
    };
    Burn(module, window);

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(window.failures, 1);
    EXPECT_EQ(window.successes, 0);
    EXPECT_EQ(window.ended, std::vector<bool>{false});
    ASSERT_TRUE(window.HasLine(recording::burn_text::kWriteProblem));
    // The write-problem line is sent after the write returned: the library
    // was still there then.
    ASSERT_FALSE(window.engineLoadedAtStatus.empty());
    EXPECT_TRUE(window.engineLoadedAtStatus.back());
    EXPECT_LT(window.progress.size(), 5u);
    window.Loop().ProcessMessages();
    EXPECT_FALSE(recording::EngineLoaded());
    EXPECT_LT(ReadAll(scratch_.file("disc.img")).size(), 20480000u);
}

TEST_F(BurnThreadTest, TestModePassesAllThirtyTwoBits) {
    WriteImage(4096);
    StartEngine(TestEngineDir("recording_engine"));
    auto owned = std::make_unique<RecordingWindow>(Folder(), burn_);
    RecordingWindow& window = *owned;
    recording::TBurnDataModule module(burn_);
    module.AttachWindow(std::move(owned));
    using TakeLogFn = int32_t(CDRW_CALL*)(char*, uint32_t);
    const auto take = reinterpret_cast<TakeLogFn>(
        platform::FindLibraryEntry(recording::EngineHandle(), "TestEngineTakeLog"));
    ASSERT_NE(take, nullptr);
    // The run's clean-up releases the engine; a reference of our own keeps the
    // stand-in loaded (Windows unloads a library on its last release).
    const platform::LibraryHandle keep =
        platform::OpenLibrary(TestEngineDir("recording_engine"), "CdRwLib.dll");
    ASSERT_NE(keep, nullptr);
    std::vector<char> log(65536);
    take(log.data(), static_cast<uint32_t>(log.size()));
    Burn(module, window, true);
    take(log.data(), static_cast<uint32_t>(log.size()));
    platform::CloseLibrary(keep);
    EXPECT_NE(std::string(log.data()).find("WriteCdDataTao(100,4294967295)"), std::string::npos)
        << log.data();
}

TEST(BurnHelpers, TagsTitleAndPercent) {
    EXPECT_EQ(recording::TagValue({"2=b", "1= \tFirst track \r"}, "1"), "First track");
    EXPECT_EQ(recording::TagValue({"10=x"}, "1"), "");
    EXPECT_EQ(recording::ProgressPercent(100, 1000), 10u);
    EXPECT_EQ(recording::ProgressPercent(1100, 1000), 110u);
    char field[4];
    recording::CopyField(field, sizeof field, "abcdef");
    EXPECT_STREQ(field, "abc");
}

TEST(BurnHelpers, ReadTrackTagsTakesOnlyItsSection) {
    ScratchFolder scratch;
    WriteText(
        scratch.file("qvorig.qv"),
        "Demo\r\n[Other]\r\n1=no\r\n[tracks and tags]\r\n1=Intro\r\n2=Outro\r\n[Next]\r\n3=x\r\n");
    EXPECT_EQ(recording::ReadTrackTags(scratch.file("qvorig.qv")),
              (std::vector<std::string>{"1=Intro", "2=Outro"}));
    EXPECT_TRUE(recording::ReadTrackTags(scratch.file("missing.qv")).empty());
}

} // namespace
} // namespace qv::test
