#include "FormBurnWindow.h"

#include "CommonUtils.h"
#include "FinishRun.h"
#include "PreflightChecks.h"
#include "Report.h"
#include "RunFlow.h"
#include "RunState.h"
#include "RunTexts.h"
#include "Settings.h"

#include "payload/WorkingFiles.h"
#include "platform/Processes.h"
#include "recording/CdRwLibE.h"
#include "recording/UnitBurn.h"

#include <ctime>

namespace qv::app {

namespace {

constexpr int kPercent = 100;

class FormBurnWindow final : public recording::BurnWindow {
public:
    explicit FormBurnWindow(TFormMain& form) : form_(form) {}

    platform::EventLoop& Loop() override { return *ApplicationLoop(); }
    platform::SystemFacts& System() override { return form_.Facts(); }
    void RecordingFailed() override { form_.SetRunResult(result::kRecordingFailed); }
    std::string CurrentContentTitle() const override { return form_.Run().values.ContentTitle; }
    std::string ShortDateToday() const override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &now);
#else
        localtime_r(&now, &local);
#endif
        return FormatShortDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    }
    std::string AppletFolder() const override {
        return ExecutableFolder();
    }
    std::string DiscImagePath() const override {
        return ExecutableFolder() + payload::kDiscImageFile;
    }
    std::string ContentFilePath() const override {
        return ExecutableFolder() + payload::kContentFile;
    }

    recording::SpeedHistory ReadSpeedHistory() const override {
        const TRunState& run = form_.Run();
        const TSettingsValues& settings = run.settings;
        const int32_t* counters = form_.WriteModeCounters;
        return {settings.CpuSpeed,
                run.ntFamily,
                run.checks.MemoryGrade,
                settings.PriorBurnWasGood,
                settings.PriorSaidHoldThrottle,
                settings.PriorX,
                counters[kTaoSuccess] + counters[kSaoSuccess] + counters[kDaoSuccess]};
    }
    void StoreThrottleHold(bool hold) override {
        form_.Run().settings.PriorSaidHoldThrottle = hold;
    }
    void ApplySpeedFactor(int64_t factor) override {
        form_.SpeedFactor = factor;
        form_.TimeEstimate();
    }
    void DisableLeftButton() override {
        form_.ButtonLeft.SetEnabled(false);
    }
    void ProcessWindowMessages() override {
        ProcessMessages();
    }

    void SetGaugeHintToPercent() override {
        const int maximum = form_.ProgressBar.Max();
        const int percent = maximum > 0 ? form_.ProgressBar.Position() * kPercent / maximum : 0;
        std::string& hint = form_.Run().progressHint;
        hint = std::to_string(percent);
        form_.ProgressBar.SetHint(hint);
    }
    void CountRecording(bool success) override {
        form_.CountRecording(success);
    }
    void BurnEnded(bool wrote) override;

private:
    void FillGauge() {
        form_.ProgressBar.SetPosition(form_.ProgressBar.Max());
    }
    void AnnounceGoodRecording();

    TFormMain& form_;
};

// A run that never reached a good write (another write mode, say) has no CD
// to announce; a run that already has its result (a cancel) keeps it.
void FormBurnWindow::BurnEnded(bool wrote) {
    SetGaugeHintToPercent();
    if (!wrote && form_.RunResult <= 0) form_.SetRunResult(result::kRecordingFailed);
    if (wrote && form_.RunResult <= 0) AnnounceGoodRecording();
    form_.Facts().Beep();
    if (recording::EngineLoaded()) recording::EngineEntries.Unload();
    FillGauge();
    ProcessMessages();
    platform::SetProcessPriority(platform::ProcessPriority::Normal);
    form_.RebuildCounterFragments();
    form_.SetRightCaption(1);
    CleanUpRun(form_.Run(), false, false);
    FillGauge();
    form_.Run().values.SuppressAutoPlay = false;
}

void FormBurnWindow::AnnounceGoodRecording() {
    form_.AddStatusLine(run_text::kCompletedBanner);
    form_.AddStatusLine(run_text::kLabelHint);
    form_.AddStatusLine(run_text::kCredit);
    form_.CountRecording(true);
    form_.RunStage = stage::kBurnSucceeded;
}

} // namespace

std::unique_ptr<recording::BurnWindow> MakeFormBurnWindow(TFormMain& form) {
    return std::make_unique<FormBurnWindow>(form);
}

void AttachBurnWindow(TFormMain& form, recording::TBurnDataModule& module) {
    module.AttachWindow(MakeFormBurnWindow(form));
}

} // namespace qv::app
