// The run on the window thread: its start and checks, the right button by
// stage, the erase question, the burn start, the cancel, the burn side's
// window messages and the writing-time estimate.

#include "RunFlow.h"
#include "RunState.h"

#include "CommonUtils.h"
#include "ContentTitle.h"
#include "PreflightChecks.h"
#include "RunTexts.h"
#include "Settings.h"
#include "StartUp.h"
#include "UnitMain.h"

#include "payload/UnitCompress.h"
#include "payload/WorkingFiles.h"
#include "platform/Files.h"
#include "recording/CdRwLibE.h"
#include "recording/UnitBurn.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace qv::app {

namespace {

constexpr uint32_t kBusyPause = 150;
constexpr uint32_t kAfterExtractionPause = 500;
constexpr uint32_t kAfterProductLinePause = 200;
constexpr uint32_t kNotReadyPause = 2000;
constexpr uint32_t kDriveWaitPause = 4500;
// Packet-writing software holds the drive for a while and must not be
// disturbed by our message handling meanwhile.
constexpr uint32_t kPacketWritingSleep = 20000;
constexpr uint32_t kEraseAnswerPause = 50;
constexpr uint32_t kEraseDrivePause = 2000;
constexpr int kEraseDriveRounds = 60;
constexpr int kEraseGaugeStep = 15;
constexpr int kGaugeAfterErase = 20;
constexpr int kGaugeFull = 100;
constexpr int kMainGaugeAtEstimate = 5;
constexpr int32_t kEraseMode = 1;
constexpr uint8_t kEraseNone = 0;
constexpr uint8_t kEraseDone = 1;
constexpr uint8_t kEraseRefused = 2;
constexpr int64_t kLowestEstimateFactor = 3;
constexpr int8_t kSlowEstimateFactor = 2;
constexpr double kMebibyte = 1048576.0;
constexpr int kMegabytesPerFactorMinute = 9;
constexpr int kMinutesOfLeadIn = 2;

} // namespace

std::string DamagedFileLine(const std::string& name, const std::string& message) {
    return run_text::kDamagedFileBegin + name + run_text::kDamagedFileMiddle + message +
           run_text::kDamagedFileEnd;
}

bool TFormMain::RunEnded() const {
    const platform::EventLoop* loop = ApplicationLoop();
    return exitCode_.has_value() || finishing_ || (loop != nullptr && loop->Terminated());
}

// Run start, on the application's first activation.
void TFormMain::StartRun() {
    run_.values.RunStarted = true;
    ProcessMessages();
    RunStage = stage::kBusy;
    SetRightCaption(0);
    if (userGone_) PressRightForAbsentUser();
    const bool testWrite = HasSwitch(kSwitchTestWrite) || run_.settings.Testing;
    if (BurnDataModule != nullptr) BurnDataModule->SetTestWrite(testWrite);
    if (CompressDataModule != nullptr && !CompressDataModule->RunPayloadMode()) {
        CompressDataModule->AttachSpawnProgress(false);
        // Asking to close is refused, so the run goes on and the content-file
        // check tells the user what is missing.
        if (!TakeRunFolder() || !FolderPathFits()) return;
        if (!CompressDataModule->ExtractRunFiles()) FormClose();
        if (!ReportDamagedRunFiles()) return;
    }
    Pause(kAfterExtractionPause);
    if (RunEnded()) return;
    ShowContentTitle();
    AddStatusLine(run_.values.ProductLine);
    Pause(kAfterProductLinePause);
    if (RunEnded()) return;
    if (RunChecks() && !run_.values.CancelRequested) BurnStart();
}

// The ASPI check extracts the carried layer again when it needs one, and
// reports its failure there.
bool TFormMain::ReportDamagedRunFiles() {
    for (const auto& member : CompressDataModule->DamagedRunFiles())
        if (!ReportRunFileFailure(member)) return false;
    for (const auto& member : CompressDataModule->DamagedRunFiles())
        if (member.name != payload::kCarriedAspiFile)
            AddStatusLine(DamagedFileLine(member.name, member.message));
    return true;
}

void TFormMain::ShowContentTitle() {
    const std::string title = ReadContentTitle(WorkingFolderPath(payload::kContentFile));
    if (title.empty()) return;
    run_.values.ContentTitle = title;
    AddStatusLine(run_text::kTitleQuote + title + run_text::kTitleQuote);
}

// Stops at the first check that fails, and when the user ended the run
// inside one of the checks' pauses.
bool TFormMain::RunChecks() {
    const std::function<bool()> checks[] = {
        [this] { return CheckContentFile(); },     [this] { return CheckDiskSpace(run_.ownSize); },
        [this] { return CpuSpeedStep(); },         [this] { return CheckAspiLayer(true); },
        [this] { return StartRecorderLibrary(); }, [this] { return ReportRecorder(); },
        [this] { return ShutDownCdPlayer(); },     [this] { return CheckBlankDisc(true); },
    };
    for (const auto& check : checks)
        if (!check() || RunEnded()) return false;
    return true;
}

void TFormMain::BusyStep() {
    RunStage = stage::kBusy;
    ProcessMessages();
    Pause(kBusyPause);
}

void TFormMain::ButtonRightClick() {
    // The end of the run pauses; a press meanwhile finds nothing to do.
    if (finishing_) return;
    if (otherRunInFolder_) {
        LeaveFolderToOtherRun();
        return;
    }
    switch (RunStage) {
    case stage::kCreated:
    case stage::kEraseQuestion:
        return;
    case stage::kContentFile:
        RunResult = result::kContentMissing;
        FinishRun(true, false);
        return;
    case stage::kDiskSpace:
        RunResult = result::kDiskFull;
        FinishRun(true, false);
        return;
    case stage::kAspiLayer:
        // The ASPI layer we may have installed stays: the user is about to
        // read how to get one.
        RunResult = result::kNoAspi;
        OpenAspiHelpPage();
        FinishRun(false, false);
        return;
    case stage::kBlankDisc:
        RetryBlankDisc();
        return;
    case stage::kRecorderReport:
        if (RunResult != result::kNoAdministrator) RunResult = result::kNoRecorder;
        FinishRun(true, false);
        return;
    case stage::kBurnSucceeded:
        if (RunResult < 0) RunResult = result::kCompleted;
        FinishRun(true, true);
        return;
    default:
        Cancel();
        return;
    }
}

void TFormMain::RetryBlankDisc() {
    // The retry pauses while the drive reloads; a second press then must not
    // start a second retry (and a second burn) inside the first.
    if (blankRetryRunning_) return;
    blankRetryRunning_ = true;
    const bool blank = CheckBlankDisc(false);
    blankRetryRunning_ = false;
    if (RunEnded()) return;
    if (blank) {
        SetRightCaption(0);
        if (RunResult == result::kNoBlankDisc) RunResult = result::kNone;
        BurnStart();
        return;
    }
    SetRunResult(result::kNoBlankDisc);
    FinishRun(true, false);
}

void TFormMain::Cancel() {
    SetRunResult(result::kCancelled);
    run_.values.CancelRequested = true;
    if (RunResult == result::kCancelled) AddStatusLine(form_text::kCanceling);
    if (BurnDataModule != nullptr && BurnDataModule->HasBurnThread()) BurnDataModule->AbortBurn();
    FinishRun(true, false);
}

// The burn start: the disc image, a ready recorder, the drive wait, then the
// burn thread in track-at-once mode, the only mode that writes.
void TFormMain::BurnStart() {
    // Presses nested in the pauses below may reach a path that leads here
    // again; one run writes one disc.
    if (burnStartEntered_) return;
    burnStartEntered_ = true;
    RunStage = stage::kBusy;
    view_.ShowWindow();
    if (!ExtractDiscImage()) return;
    if (!RecorderReady()) return;
    WaitForDrive();
    if (RunEnded()) return;
    view_.ShowWindow();
    ProgressBarLeft.SetPosition(ProgressBarLeft.Max());
    if (run_.values.CancelRequested) return;
    run_.environment.setThreadPriority(platform::ThreadPriority::BelowNormal);
    if (!TaoFlag) {
        AddStatusLine(run_text::kNoRecorderOrMethod);
        SetRunResult(result::kNoWriteMode);
        SetRightCaption(1);
        return;
    }
    WriteMode = recording::kTrackAtOnce;
    if (!StartBurnThread(recording::kTrackAtOnce)) {
        SetRightCaption(1);
        return;
    }
    AddStatusLine(run_text::kUsingTao);
    run_.environment.setThreadPriority(platform::ThreadPriority::BelowNormal);
}

// False when the run cannot burn: the image failed its checks (nothing of it
// is burnt, and the run ends as a recording that failed), could not be
// written, or is not in the payload. Only an image this run wrote and
// checked is burnt, never a file that happened to lie there.
bool TFormMain::ExtractDiscImage() {
    payload::TDamagedMember failure{payload::kDiscImageFile, {}, {}};
    bool written = CompressDataModule == nullptr &&
                   platform::FileExists(WorkingFolderPath(payload::kDiscImageFile));
    if (CompressDataModule != nullptr) {
        CompressDataModule->AttachSpawnProgress(true);
        try {
            written = CompressDataModule->ExtractMember(payload::kDiscImageFile);
        } catch (const std::exception& error) {
            failure.message = error.what();
            failure.kind = payload::TCompressDataModule::FailureKind(error);
        }
        CompressDataModule->AttachSpawnProgress(false);
    }
    if (!failure.message.empty()) {
        if (!ReportRunFileFailure(failure)) return false;
        FailCheck(DamagedFileLine(payload::kDiscImageFile, failure.message));
        SetRunResult(result::kRecordingFailed);
        return false;
    }
    if (!written) {
        AddStatusLine(run_text::kRequiredFilesMissing);
        return false;
    }
    platform::SetFileAttributes(WorkingFolderPath(payload::kDiscImageFile), platform::kAttrHidden);
    ProcessMessages();
    return true;
}

bool TFormMain::RecorderReady() {
    int32_t status = recording::EngineEntries.IsDeviceReady();
    if (status != recording::kEngineSuccess) {
        Pause(kNotReadyPause);
        if (RunEnded()) return false;
        status = recording::EngineEntries.IsDeviceReady();
    }
    if (status == recording::kEngineSuccess) return true;
    AddStatusLine(recording::EngineStatusText(status));
    SetRunResult(result::kNotReady);
    return false;
}

void TFormMain::WaitForDrive() {
    if (platform::FileExists(kPacketWritingDriver) || platform::FileExists(kPacketWritingProgram))
        facts_.Sleep(kPacketWritingSleep);
    else
        Pause(kDriveWaitPause);
    ProcessMessages();
}

bool TFormMain::StartBurnThread(uint8_t writeMode) {
    if (run_.environment.startBurn) return run_.environment.startBurn(writeMode);
    return BurnDataModule != nullptr && BurnDataModule->StartBurn(writeMode);
}

void TFormMain::StepLeftGauge(int step) {
    ProgressBarLeft.SetPosition(ProgressBarLeft.Position() + step);
}

// The erase question; true tells the blank-disc test that no blank disc is
// in the drive. The answer is kept for the life of the process.
bool TFormMain::EraseQuestion() {
    RunStage = stage::kEraseQuestion;
    uint8_t& answer = run_.values.EraseAnswer;
    if (answer == kEraseDone) return false;
    if (answer == kEraseRefused) return true;
    if (run_.checks.DiscRewritable == 0) return true;
    view_.Beep();
    StepLeftGauge(kEraseGaugeStep);
    AddStatusLine(run_text::kEraseQuestion);
    ButtonLeft.OnClick = [this] { ButtonYESErase(); };
    ButtonLeft.SetCaption(run_text::kCaptionYes);
    ButtonLeft.SetShowHint(false);
    ButtonRight.OnClick = [this] { ButtonNOErase(); };
    ButtonRight.SetCaption(run_text::kCaptionNo);
    // The answer comes from the buttons, whose handlers run inside this wait.
    while (answer == kEraseNone && !RunEnded())
        Pause(kEraseAnswerPause);
    return answer == kEraseRefused;
}

void TFormMain::RestoreButtonHandlers(const char* rightCaption) {
    ButtonRight.OnClick = [this] { ButtonRightClick(); };
    ButtonRight.SetCaption(rightCaption);
    ButtonLeft.OnClick = [this] { ButtonLeftClick(); };
    ButtonLeft.SetCaption(run_text::kCaptionHelp);
    ButtonLeft.SetShowHint(true);
}

void TFormMain::ButtonYESErase() {
    RestoreButtonHandlers(form_text::kPleaseWait);
    AddStatusLine(run_text::kErasingStarted);
    StepLeftGauge(kEraseGaugeStep);
    bool started = false;
    if (EraseDisc()) {
        ProgressBarLeft.SetPosition(kGaugeAfterErase);
        const int32_t status = AskDiscBlank();
        if (run_.checks.DiscReady == 0) WaitForDriveAfterErase();
        if (status == recording::kEngineSuccess && run_.checks.DiscBlank != 0) {
            run_.values.EraseAnswer = kEraseDone;
            SetRightCaption(0);
            if (RunResult == result::kNoBlankDisc) RunResult = result::kNone;
            AddStatusLine(run_text::kErasingSuccessful);
            ProcessMessages();
            StepLeftGauge(kEraseGaugeStep);
            started = true;
            BurnStart();
        } else {
            run_.values.EraseAnswer = kEraseRefused;
            AddStatusLine(run_text::kUnableToErase);
        }
    } else {
        run_.values.EraseAnswer = kEraseRefused;
        AddStatusLine(run_text::kUnableToErase);
    }
    if (!started) RunStage = stage::kBlankDisc;
}

// A library that is gone or whose erase raises has not erased the disc.
bool TFormMain::EraseDisc() {
    if (recording::EngineEntries.BlankDisc == nullptr) return false;
    try {
        return recording::EngineEntries.BlankDisc(kEraseMode) == recording::kEngineSuccess;
    } catch (...) {
        return false; // the user is told "Unable to erase" either way
    }
}

void TFormMain::WaitForDriveAfterErase() {
    for (int round = 0; round < kEraseDriveRounds && !RunEnded(); ++round) {
        AskDiscBlank();
        Pause(kEraseDrivePause);
        if (run_.checks.DiscReady != 0) return;
        if (ProgressBarLeft.Position() < kGaugeFull) StepLeftGauge(1);
    }
}

void TFormMain::ButtonNOErase() {
    RestoreButtonHandlers(run_text::kCaptionCancel);
    run_.values.EraseAnswer = kEraseRefused;
    RunStage = stage::kBlankDisc;
}

// Without parameters only the AutoPlay question can be answered.
std::optional<intptr_t> TFormMain::WindowMessage(uint32_t message) {
    if (message == WM_BURNPROGRESS || message == WM_BURNSTATUS) return std::nullopt;
    return WindowMessage(message, 0, 0);
}

std::optional<intptr_t> TFormMain::WindowMessage(uint32_t message, uintptr_t wParam,
                                                 intptr_t lParam) {
    if (QueryCancelAutoPlayMessage != 0 && message == QueryCancelAutoPlayMessage &&
        run_.values.SuppressAutoPlay)
        return 1;
    if (message == WM_BURNPROGRESS) {
        facts_.Sleep(0); // the burn side waits on us; give it the processor first
        ProgressBar.SetPosition(static_cast<int>(wParam));
        ProgressBar.SetMax(static_cast<int>(lParam));
        facts_.Sleep(0);
        return 0;
    }
    if (message == WM_BURNSTATUS) {
        // The sender owns the text and keeps it alive until we return.
        if (lParam != 0) AddStatusLine(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    return std::nullopt;
}

// Asked for by the burn thread once it has set SpeedFactor; the speed text
// ends as the factor, which the report sends and the settings keep.
void TFormMain::TimeEstimate() {
    // The factor is a signed byte; a recorder beyond 127 times CD speed
    // still writes, with the estimate of the fastest factor that fits.
    const int64_t fitting = std::min<int64_t>(SpeedFactor, std::numeric_limits<int8_t>::max());
    const int8_t factor =
        fitting >= kLowestEstimateFactor ? static_cast<int8_t>(fitting) : kSlowEstimateFactor;
    const auto megabytes = static_cast<int32_t>(std::trunc(run_.ownSize / kMebibyte - 1.0));
    const int32_t minutes = megabytes / (factor * kMegabytesPerFactorMinute) + kMinutesOfLeadIn;
    SpeedText = std::to_string(minutes);
    PayloadMegabytes = static_cast<uint32_t>(megabytes);
    AddStatusLine(run_text::kDoNotDisturb);
    std::string prefix;
    if (run_.settings.Testing)
        prefix = run_text::kSpeedIsPrefix + std::to_string(factor) + run_text::kSpeedIsSuffix;
    AddStatusLine(prefix + run_text::kReadyIn + run_text::kBlank + std::to_string(minutes) +
                  run_text::kBlank + run_text::kMinutes);
    ProgressBar.SetPosition(kMainGaugeAtEstimate);
    SpeedText = std::to_string(factor);
}

} // namespace qv::app
