#include "UnitMain.h"

#include "CommonUtils.h"
#include "RunFlow.h"
#include "RunState.h"

#include "platform/OwnExecutable.h"
#include "recording/CdRwLibE.h"
#include "recording/UnitBurn.h"

#include <stdexcept>

namespace qv::app {

namespace {

constexpr uint32_t kLargestMessageNumber = 65535;
constexpr int kScreenDepthSixteenColours = 4;
constexpr int kScreenDepthPalette = 8;

} // namespace

TFormMain::TFormMain(MainView& view, platform::SystemFacts& facts, TRunState& run)
    : DevLabel{layout::kDevLabel, ""}, ImageLogo{layout::kImageLogo},
      LabelProgress{layout::kLabelProgress, layout::kProgressCaption},
      ProgressBarLeft(view, Gauge::Left, layout::kProgressBarLeft),
      ProgressBar(view, Gauge::Main, layout::kProgressBar), MemoStatus(view, layout::kMemoStatus),
      ButtonLeft(view, Button::Left, layout::kButtonLeft, layout::kLeftCaption),
      ButtonRight(view, Button::Right, layout::kButtonRight, layout::kRightCaption), view_(view),
      facts_(facts), run_(run) {
    // The notice is the console's first content, not a change of it.
    view_.AddStatusItem(form_text::kPublisherNotice);
    MemoStatus.OnChange = [this] { MemoStatusChange(); };
    ButtonLeft.OnClick = [this] { ButtonLeftClick(); };
    ButtonRight.OnClick = [this] { ButtonRightClick(); };
}

void TFormMain::FormCreate() {
    const uint32_t message = platform::RegisterNamedMessage(form_text::kQueryCancelAutoPlay);
    if (message > kLargestMessageNumber) throw std::range_error(form_text::kRangeError);
    QueryCancelAutoPlayMessage = static_cast<uint16_t>(message);

    ImageLogo.Place = layout::CentredLogo(ImageLogo.Place);
    GradientStart = kColourBlack;
    GradientEnd = kGradientEnd;
    ConsoleFontColour = kColourWhite;
    BorderWidth = kFrameWidth;
    ProgressBar.Place = layout::MainGaugeBeside(ProgressBarLeft.Place, ProgressBar.Place);

    ButtonRight.SetCaption(form_text::kPleaseWait);
    RunStage = stage::kCreated;
    RunResult = result::kNone;

    LoadSettings();

    const int depth = view_.ScreenBitsPerPixel();
    if (depth == kScreenDepthSixteenColours || depth == kScreenDepthPalette) {
        GradientStart = kColourPureRed;
        GradientEnd = kColourPureRed;
        ConsoleFontColour = kColourBlack;
    }
    ApplyLook();

    if (run_.ntFamily) view_.MinimizeAndRestore();
    view_.ShowWindow();
    view_.BringToFront();
}

void TFormMain::ApplyLook() {
    view_.SetGradient(GradientStart, GradientEnd);
    view_.SetConsoleFontColour(ConsoleFontColour);
}

// LoadSettings and SaveSettings live in Settings.cpp.

void TFormMain::FormDestroy() {
    SaveSettings();
    recording::FreeEngine();
}

int TFormMain::LoopEnded() {
    FormDestroy();
    return ExitCode().value_or(0);
}

bool TFormMain::FormClose() {
    return false;
}

void TFormMain::MemoStatusChange() {
    ButtonLeft.SetEnabled(true);
    ButtonLeft.SetFocus();
}

void TFormMain::ApplicationEvents1Activate() {
    if (!run_.values.RunStarted) {
        StartRun();
        return;
    }
    facts_.Sleep(0); // later activations only yield the time slice
}

// The run start, the right button by stage and the cancel live in
// RunFlow.cpp.

// ButtonLeftClick and OpenAspiHelpPage live in Report.cpp, FinishRun in
// FinishRun.cpp.

// WindowMessage lives in RunFlow.cpp.

int32_t TFormMain::SetRunResult(int32_t code) {
    if (RunResult < result::kFirstReal) RunResult = code;
    return RunResult;
}

void TFormMain::SetRightCaption(int index) {
    ButtonRight.SetCaption(form_text::kRightCaptions[index == 1 ? 1 : 0]);
    if (index == 1)
        ButtonRight.SetFocus();
    else
        ButtonLeft.SetFocus();
    // "&OK": the run now waits for the right button.
    if (index == 1 && userGone_) PressRightForAbsentUser();
}

void TFormMain::UserGone() {
    if (userGone_) return; // one press per wait is enough
    userGone_ = true;
    // Before the run has started the press would be lost; the run start
    // gives it instead.
    if (run_.values.RunStarted) PressRightForAbsentUser();
}

// From the loop, after the step that is running now has returned, as a real
// press would come.
void TFormMain::PressRightForAbsentUser() {
    if (platform::EventLoop* loop = ApplicationLoop())
        loop->Post([this] {
            if (!RunEnded()) ButtonRight.Click();
        });
}

void TFormMain::AddStatusLine(const std::string& text) {
    MemoStatus.Add(text);
}

bool TFormMain::DeleteWorkingFile(const std::string& name) {
    return app::DeleteWorkingFile(name);
}

} // namespace qv::app
