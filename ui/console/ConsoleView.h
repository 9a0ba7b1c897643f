#pragma once
// The main window drawn on a terminal. Two faces: on a terminal the screen is
// redrawn on every change (status console, the two gauges as text bars, the
// button captions); elsewhere every change is one line of a plain event log
// that scripts and tests read (the README documents its format).

#include "app/MainView.h"
#include "platform/Terminal.h"

#include <array>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qv::ui {

enum class ConsoleFace { EventLog, Screen };

// An item's lines: CR LF pairs (and a lone CR or LF) end a line; an item
// ending in a break gives a last, empty line.
std::vector<std::string> SplitStatusItem(const std::string& item);
// "[#####-----]" for the share of position in maximum.
std::string TextBar(int position, int maximum, int width);
// A caption as shown: "&" marks the access key and is dropped, "&&" is "&".
std::string ShownCaption(const std::string& caption);

class ConsoleView final : public app::MainView {
public:
    ConsoleView(std::ostream& out, ConsoleFace face, int consoleRows = 12);

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
    void MinimizeAndRestore() override {}
    int ScreenBitsPerPixel() const override;
    void SetGradient(unsigned startColour, unsigned endColour) override;
    void SetConsoleFontColour(unsigned colour) override;

    // A page the applet opened.
    void NoteUrl(const std::string& url);
    // The screen fits the terminal this reports (none: the full frame).
    void SetTerminalSize(std::function<std::optional<platform::TerminalSize>()> size) {
        terminalSize_ = std::move(size);
    }
    ConsoleFace Face() const { return face_; }

private:
    struct ButtonState {
        std::string caption;
        bool enabled = true;
    };
    struct GaugeState {
        int position = 0;
        int maximum = 100;
        std::string hint;
    };

    static size_t Index(app::Button button) { return button == app::Button::Left ? 0 : 1; }
    static size_t Index(app::Gauge gauge) { return gauge == app::Gauge::Main ? 0 : 1; }
    void Log(const std::string& line);
    void LogGauge(app::Gauge gauge);
    void Redraw();

    std::ostream& out_;
    ConsoleFace face_;
    int consoleRows_;
    std::vector<std::string> lines_;
    std::array<ButtonState, 2> buttons_;
    std::array<GaugeState, 2> gauges_;
    std::optional<app::Button> focus_;
    std::string lastUrl_;
    bool shown_ = false;
    std::function<std::optional<platform::TerminalSize>()> terminalSize_ = [] {
        return std::optional<platform::TerminalSize>();
    };
};

} // namespace qv::ui
