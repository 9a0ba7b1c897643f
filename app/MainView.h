#pragma once
// The port between the run flow (TFormMain) and a front end: the window's
// components by their layout names, seen from the run flow. The components
// keep their own state (FormComponents.h): a front end is told each change
// and only shows it. The terminal front end, the desktop windows and the
// test fakes implement it. Every call
// comes on the window thread.

#include <cstdint>
#include <optional>
#include <string>

namespace qv::app {

enum class Button { Left /* ButtonLeft */, Right /* ButtonRight */ };
enum class Gauge { Main /* ProgressBar */, Left /* ProgressBarLeft */ };

class MainView {
public:
    virtual ~MainView() = default;

    // MemoStatus: appends one item; CR LF pairs inside it start new lines.
    virtual void AddStatusItem(const std::string& text) = 0;

    virtual void SetCaption(Button button, const std::string& caption) = 0;
    virtual void SetEnabled(Button button, bool enabled) = 0;
    virtual void SetFocus(Button button) = 0;
    // The button's hint shown or not (ShowHint).
    virtual void SetHintsShown(Button button, bool shown) = 0;

    virtual void SetGaugePosition(Gauge gauge, int position) = 0;
    virtual void SetGaugeMax(Gauge gauge, int maximum) = 0;
    virtual void SetGaugeHint(Gauge gauge, const std::string& hint) = 0;

    // The default message beep.
    virtual void Beep() = 0;

    // Window placement and look.
    virtual void ShowWindow() = 0;
    virtual void BringToFront() = 0;
    virtual void MinimizeAndRestore() = 0;
    // Colour depth of the screen (4 or 8 bits get the plain-red look).
    virtual int ScreenBitsPerPixel() const = 0;
    // Frame gradient ends and gauge colours, as 0x00BBGGRR colour values.
    virtual void SetGradient(unsigned startColour, unsigned endColour) = 0;
    virtual void SetConsoleFontColour(unsigned colour) = 0;
};

// What a front end reports back to the run flow.
class MainViewEvents {
public:
    virtual ~MainViewEvents() = default;
    virtual void LeftClicked() = 0;
    virtual void RightClicked() = 0;
    // The application became active (the first activation starts the run).
    virtual void Activated() = 0;
    // A request to close the window; the answer is whether to close it.
    virtual bool CloseRequested() = 0;
    // The user can press nothing any more (the input ended, or a signal came
    // from outside): the run ends as the right button would end it.
    virtual void UserGone() {}
    // A message to the main window (the burn side's two, the AutoPlay
    // question): the answer, or nothing for the default handling.
    virtual std::optional<intptr_t> WindowMessage(uint32_t message, uintptr_t wParam,
                                                  intptr_t lParam) = 0;
    // The message loop has ended without the run's own end: the window is
    // done with as the start-up does it. The answer is the exit code.
    virtual int LoopEnded() = 0;
};

} // namespace qv::app
