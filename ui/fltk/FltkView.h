#pragma once
// The desktop window on FLTK: the layout's components in a window without
// caption bar, dragged by its client area, that refuses to be closed.
// Everything here runs on the window thread.

#include "FltkWidgets.h"

#include "app/MainView.h"
#include "platform/EventLoop.h"

#include <array>
#include <memory>
#include <string>

namespace qv::ui {

class FormWindow;

class FltkView final : public app::MainView {
public:
    explicit FltkView(platform::EventLoop& loop);
    ~FltkView() override;
    FltkView(const FltkView&) = delete;
    FltkView& operator=(const FltkView&) = delete;

    // Presses and close requests go to the events.
    void Connect(app::MainViewEvents& events);

    void AddStatusItem(const std::string& text) override;
    void SetCaption(app::Button button, const std::string& caption) override;
    void SetEnabled(app::Button button, bool enabled) override;
    void SetFocus(app::Button button) override;
    void SetHintsShown(app::Button button, bool shown) override;
    void SetGaugePosition(app::Gauge gauge, int position) override;
    void SetGaugeMax(app::Gauge gauge, int maximum) override;
    void SetGaugeHint(app::Gauge gauge, const std::string& hint) override;
    void Beep() override;
    void ShowWindow() override;
    void BringToFront() override;
    void MinimizeAndRestore() override;
    int ScreenBitsPerPixel() const override;
    void SetGradient(unsigned startColour, unsigned endColour) override;
    void SetConsoleFontColour(unsigned colour) override;
    // The display is gone: the window keeps its state for the run's
    // questions but never draws, measures or talks to the display again.
    void LeaveDisplay() { displayGone_ = true; }

private:
    struct ButtonState {
        FlatButton* widget = nullptr;
        const char* hint = nullptr; // the layout's hint, when it has one
    };

    static size_t Index(app::Button button) { return button == app::Button::Left ? 0 : 1; }
    static size_t Index(app::Gauge gauge) { return gauge == app::Gauge::Main ? 0 : 1; }
    void Press(app::Button button);
    void PlaceOnScreen();
    // Tab's move between the buttons.
    void MoveFocus(bool forward);

    platform::EventLoop& loop_;
    Backdrop backdrop_;
    LayoutFonts fonts_;
    std::unique_ptr<FormWindow> window_;
    StatusConsole* console_ = nullptr;
    std::array<FlatGauge*, 2> gauges_{};
    std::array<ButtonState, 2> buttons_;
    app::MainViewEvents* events_ = nullptr;
    bool shown_ = false;
    bool displayGone_ = false;
};

} // namespace qv::ui
