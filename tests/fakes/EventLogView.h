#pragma once
// A main window that writes the plain event log the terminal front end
// prints ("console: ...", "caption right: ...", "beep", ...) into a list, so
// a test reads what a user of the terminal would have seen, in order.

#include "app/MainView.h"
#include "app/WindowLayout.h"

#include <array>
#include <string>
#include <vector>

namespace qv::test {

class EventLogView final : public app::MainView {
public:
    std::vector<std::string> log;
    int bitsPerPixel = 24;
    // The look and the window calls, which the log leaves out.
    std::array<unsigned, 2> gradient{0, 0};
    unsigned consoleColour = 0;
    int minimizeRestores = 0;

    // The console lines alone, without their prefix.
    std::vector<std::string> ConsoleLines() const {
        std::vector<std::string> lines;
        for (const std::string& entry : log)
            if (entry.rfind(kConsole, 0) == 0)
                lines.push_back(entry.substr(std::string(kConsole).size()));
        return lines;
    }
    int Beeps() const {
        int count = 0;
        for (const std::string& entry : log)
            count += entry == "beep" ? 1 : 0;
        return count;
    }
    std::string Hint(app::Gauge gauge) const { return gauges_[Index(gauge)].hint; }
    bool HintsShown(app::Button button) const { return buttons_[Index(button)].hints; }
    bool HasFocus(app::Button button) const { return focused_ == static_cast<int>(Index(button)); }

    void AddStatusItem(const std::string& text) override {
        std::string line;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
                log.push_back(kConsole + line);
                line.clear();
            } else {
                line += text[i];
            }
        }
        log.push_back(kConsole + line);
    }
    void SetCaption(app::Button button, const std::string& caption) override {
        if (buttons_[Index(button)].caption == caption) return;
        buttons_[Index(button)].caption = caption;
        log.push_back((button == app::Button::Left ? "caption left: " : "caption right: ") +
                      caption);
    }
    // What the view was last told, for the tests to read.
    std::string Caption(app::Button button) const { return buttons_[Index(button)].caption; }
    void SetEnabled(app::Button button, bool enabled) override {
        buttons_[Index(button)].enabled = enabled;
    }
    bool Enabled(app::Button button) const { return buttons_[Index(button)].enabled; }
    void SetFocus(app::Button button) override { focused_ = static_cast<int>(Index(button)); }
    void SetHintsShown(app::Button button, bool shown) override {
        buttons_[Index(button)].hints = shown;
    }
    void SetGaugePosition(app::Gauge gauge, int position) override {
        if (gauges_[Index(gauge)].position == position) return;
        gauges_[Index(gauge)].position = position;
        LogGauge(gauge);
    }
    int GaugePosition(app::Gauge gauge) const { return gauges_[Index(gauge)].position; }
    void SetGaugeMax(app::Gauge gauge, int maximum) override {
        if (gauges_[Index(gauge)].maximum == maximum) return;
        gauges_[Index(gauge)].maximum = maximum;
        LogGauge(gauge);
    }
    int GaugeMax(app::Gauge gauge) const { return gauges_[Index(gauge)].maximum; }
    void SetGaugeHint(app::Gauge gauge, const std::string& hint) override {
        gauges_[Index(gauge)].hint = hint;
    }
    void Beep() override { log.push_back("beep"); }
    void ShowWindow() override {}
    void BringToFront() override {}
    void MinimizeAndRestore() override { ++minimizeRestores; }
    int ScreenBitsPerPixel() const override { return bitsPerPixel; }
    void SetGradient(unsigned start, unsigned end) override { gradient = {start, end}; }
    void SetConsoleFontColour(unsigned colour) override { consoleColour = colour; }

private:
    static constexpr const char* kConsole = "console: ";
    struct ButtonState {
        std::string caption;
        bool enabled = true;
        bool hints = true;
    };
    struct GaugeState {
        int position = 0;
        int maximum = 100;
        std::string hint = app::layout::kGaugeHint;
    };
    static size_t Index(app::Button button) { return button == app::Button::Left ? 0 : 1; }
    static size_t Index(app::Gauge gauge) { return gauge == app::Gauge::Main ? 0 : 1; }
    void LogGauge(app::Gauge gauge) {
        const GaugeState& state = gauges_[Index(gauge)];
        log.push_back((gauge == app::Gauge::Main ? "gauge main: " : "gauge left: ") +
                      std::to_string(state.position) + "/" + std::to_string(state.maximum));
    }

    std::array<ButtonState, 2> buttons_{
        {{app::layout::kLeftCaption}, {app::layout::kRightCaption}}};
    std::array<GaugeState, 2> gauges_;
    int focused_ = -1;
};

} // namespace qv::test
