#pragma once
// TFormMain: the applet's one window as a model. It owns its components by
// their layout names (behind the MainView port), keeps the run's fields and
// result, and answers the front end's events. The run itself (checks, erase
// question, burn start, the stages' right-button actions, the end of the
// run) grows on the hooks marked below.

#include "FormComponents.h"
#include "MainView.h"
#include "WindowLayout.h"

#include "platform/SystemFacts.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qv::payload {
class TCompressDataModule;
struct TDamagedMember;
} // namespace qv::payload
namespace qv::recording {
class TBurnDataModule;
}
namespace qv::platform {
class SettingsStore;
}

namespace qv::app {

// Texts and values of the window, each spelt once.
namespace form_text {
inline constexpr const char* kQueryCancelAutoPlay = "QueryCancelAutoPlay";
inline constexpr const char* kPleaseWait = "Please Wait";
inline constexpr const char* kRightCaptions[2] = {"&Cancel", "&OK"};
inline constexpr const char* kProductLine = "Data Quarlow\r\n";
inline constexpr const char* kCanceling = "\r\n\r\n*** Canceling per your request\r\n";
inline constexpr const char* kRangeError = "Range check error";
// The publisher's notice the console starts with.
inline constexpr const char* kPublisherNotice =
    "____________________________________\r\n"
    "CD maker by Quarlow\r\n"
    "This program comes without any warranty; you use it at your own risk.\r\n"
    "____________________________________\r\n"
    "\r\n";
} // namespace form_text

// The run's own flags, each touched by the window thread only.
struct TRunValues {
    bool RunStarted = false;
    bool CancelRequested = false;
    uint8_t EraseAnswer = 0; // 0 none yet, 1 erased, 2 refused or erase failed
    bool SuppressAutoPlay = true;
    std::string ContentTitle;
    std::string ProductLine = form_text::kProductLine;
};
struct TRunState;

class TFormMain : public MainViewEvents {
public:
    TFormMain(MainView& view, platform::SystemFacts& facts, TRunState& run);

    // Components, in the layout's order.
    TLabel DevLabel;
    TImage ImageLogo;
    TLabel LabelProgress;
    TGauge ProgressBarLeft;
    TGauge ProgressBar;
    TMemo MemoStatus;
    TButton ButtonLeft;
    TButton ButtonRight;

    // Fields of the run.
    uint8_t RunStage = 0;
    // Successes for track-at-once, session-at-once, disc-at-once, then failures.
    int32_t WriteModeCounters[6] = {};
    bool RecorderFound = false;
    std::string VendorText;
    std::string ProductText;
    bool ThirdModeFlag = false;
    bool SecondModeFlag = false;
    bool TaoFlag = false;
    uint8_t WriteMode = 0;
    int64_t SpeedFactor = 0;
    int32_t RunResult = -1;
    std::string SpeedText;
    std::string FailFragment;
    std::string SuccFragment;
    uint32_t PayloadMegabytes = 0;

    // The look, as window creation sets it.
    uint16_t QueryCancelAutoPlayMessage = 0;
    int BorderWidth = 0;
    unsigned GradientStart = kColourBlack;
    unsigned GradientEnd = kGradientEnd;
    unsigned ConsoleFontColour = kColourWhite;

    // The data modules, set by the start-up once created.
    payload::TCompressDataModule* CompressDataModule = nullptr;
    recording::TBurnDataModule* BurnDataModule = nullptr;
    // The per-user settings; when none is set before FormCreate the user's
    // own store (platform::OpenUserSettings) is used.
    platform::SettingsStore* UserSettings = nullptr;

    void FormCreate();
    void FormDestroy();
    // False: the window refuses every request to close it.
    bool FormClose();
    void MemoStatusChange();
    void ApplicationEvents1Activate();
    void ButtonLeftClick();
    void ButtonRightClick();
    // The answer to a window message, or nothing for the default handling.
    std::optional<intptr_t> WindowMessage(uint32_t message);
    // WM_BURNPROGRESS and WM_BURNSTATUS need their parameters.
    std::optional<intptr_t> WindowMessage(uint32_t message, uintptr_t wParam,
                                          intptr_t lParam) override;

    // Keeps the first real result (2 or more); returns RunResult.
    int32_t SetRunResult(int32_t code);
    // 0: "&Cancel" with the focus on the left button; 1: "&OK", focus right.
    void SetRightCaption(int index);
    void AddStatusLine(const std::string& text);
    bool DeleteWorkingFile(const std::string& name);

    // Hooks the run flow fills.
    void LoadSettings();
    void SaveSettings();
    void StartRun();
    void Cancel();
    // Ends the run with RunResult as the exit code.
    void FinishRun(bool tidyAspi, bool deleteApplet);

    // The run flow (RunFlow.cpp).
    void BusyStep();
    void BurnStart();
    // True: no blank disc (refused, not rewritable, or the erase failed).
    bool EraseQuestion();
    void ButtonYESErase();
    void ButtonNOErase();
    // Asked for by the burn thread once SpeedFactor is set.
    void TimeEstimate();
    // The ASPI help page (stage 4); the report pages fill it.
    void OpenAspiHelpPage();

    // The pre-flight checks (PreflightChecks.cpp): true to go on.
    bool CheckContentFile();
    bool CheckDiskSpace(int64_t requiredBytes);
    bool CpuSpeedStep();
    bool CheckAspiLayer(bool installAllowed);
    bool StartRecorderLibrary();
    bool ReportRecorder();
    bool ShutDownCdPlayer();
    bool CheckBlankDisc(bool firstAttempt);

    // Settings and write-mode statistics (Settings.cpp).
    platform::SettingsStore& UserSettingsStore();
    void RebuildCounterFragments();
    // Raises the success or failure counter of WriteMode, then the fragments.
    void CountRecording(bool success);

    // The exit code the run ended with; set by FinishRun.
    std::optional<int> ExitCode() const { return exitCode_; }

    // MainViewEvents
    // A disabled button takes no press, whichever front end passed it on.
    void LeftClicked() override {
        if (ButtonLeft.Enabled()) ButtonLeft.Click();
    }
    void RightClicked() override {
        if (ButtonRight.Enabled()) ButtonRight.Click();
    }
    void Activated() override { ApplicationEvents1Activate(); }
    bool CloseRequested() override { return FormClose(); }
    void UserGone() override;
    int LoopEnded() override;

    MainView& View() { return view_; }
    platform::SystemFacts& Facts() { return facts_; }
    TRunState& Run() { return run_; }

private:
    void ApplyLook();

    // Run-flow steps (RunFlow.cpp, PreflightChecks.cpp).
    bool RunEnded() const;
    void ShowContentTitle();
    bool RunChecks();
    void RetryBlankDisc();
    bool ExtractDiscImage();
    bool ReportDamagedRunFiles();
    bool TakeRunFolder();
    void LeaveFolderToOtherRun();
    bool FolderPathFits();
    bool ReportRunFileFailure(const payload::TDamagedMember& failure);
    bool RecorderReady();
    void WaitForDrive();
    bool StartBurnThread(uint8_t writeMode);
    void StepLeftGauge(int step);
    void RestoreButtonHandlers(const char* rightCaption);
    void WaitForDriveAfterErase();
    bool EraseDisc();
    void FailCheck(const std::string& message);
    bool AspiLayerFound();
    bool ExtractCarriedAspiLayer();
    void RemoveOldAspiLayer();
    bool LoadRecorderEngine();
    void ReadRecorderAbilities();
    int32_t AskDiscBlank();
    void ReportNoBlankDisc();

    MainView& view_;
    platform::SystemFacts& facts_;
    TRunState& run_;
    std::optional<int> exitCode_;
    bool burnStartEntered_ = false;
    bool finishing_ = false;
    bool blankRetryRunning_ = false;
    // No one is left to press a button: each wait for the right button gets
    // the press a user would give.
    bool userGone_ = false;
    bool otherRunInFolder_ = false;
    void PressRightForAbsentUser();
};

} // namespace qv::app
