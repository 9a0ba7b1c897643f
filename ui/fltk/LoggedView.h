#pragma once
// The window with the event log beside it: every change goes to both; the
// screen's questions are answered by the window.

#include "app/MainView.h"
#include "console/ConsoleView.h"

namespace qv::ui {

class LoggedView final : public app::MainView {
public:
    LoggedView(app::MainView& window, ConsoleView& log) : window_(window), log_(log) {}

    void AddStatusItem(const std::string& text) override {
        window_.AddStatusItem(text);
        log_.AddStatusItem(text);
    }
    void SetCaption(app::Button button, const std::string& caption) override {
        window_.SetCaption(button, caption);
        log_.SetCaption(button, caption);
    }
    void SetEnabled(app::Button button, bool enabled) override {
        window_.SetEnabled(button, enabled);
        log_.SetEnabled(button, enabled);
    }
    void SetFocus(app::Button button) override { window_.SetFocus(button); }
    void SetHintsShown(app::Button button, bool shown) override {
        window_.SetHintsShown(button, shown);
    }
    void SetGaugePosition(app::Gauge gauge, int position) override {
        window_.SetGaugePosition(gauge, position);
        log_.SetGaugePosition(gauge, position);
    }
    void SetGaugeMax(app::Gauge gauge, int maximum) override {
        window_.SetGaugeMax(gauge, maximum);
        log_.SetGaugeMax(gauge, maximum);
    }
    void SetGaugeHint(app::Gauge gauge, const std::string& hint) override {
        window_.SetGaugeHint(gauge, hint);
        log_.SetGaugeHint(gauge, hint);
    }
    void Beep() override {
        window_.Beep();
        log_.Beep();
    }
    void ShowWindow() override { window_.ShowWindow(); }
    void BringToFront() override { window_.BringToFront(); }
    void MinimizeAndRestore() override { window_.MinimizeAndRestore(); }
    int ScreenBitsPerPixel() const override { return window_.ScreenBitsPerPixel(); }
    void SetGradient(unsigned startColour, unsigned endColour) override {
        window_.SetGradient(startColour, endColour);
    }
    void SetConsoleFontColour(unsigned colour) override { window_.SetConsoleFontColour(colour); }

private:
    app::MainView& window_;
    ConsoleView& log_;
};

} // namespace qv::ui
