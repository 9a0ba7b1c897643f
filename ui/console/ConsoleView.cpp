#include "ConsoleView.h"
#include "ScreenFrame.h"

#include "app/WindowLayout.h"

namespace qv::ui {

namespace {

constexpr const char* kConsolePrefix = "console: ";
constexpr const char* kCaptionPrefix[2] = {"caption left: ", "caption right: "};
constexpr const char* kEnabledLeftPrefix = "enabled left: ";
constexpr const char* kGaugePrefix[2] = {"gauge main: ", "gauge left: "};
constexpr const char* kHintMainPrefix = "hint main: ";
constexpr const char* kBeepEvent = "beep";
constexpr const char* kUrlPrefix = "url: ";

constexpr const char* kClearScreen = "\x1b[H\x1b[2J";
constexpr const char* kBell = "\a";
constexpr const char* kRule = "--------------------------------------------------------";
constexpr const char* kKeysLeft = "[l] ";
constexpr const char* kKeysRight = "[Enter/r] ";
constexpr const char* kKeysRightShort = "[r] ";
constexpr const char* kDisabledMark = " (off)";
constexpr const char* kOpenedPage = "Opened page: ";
constexpr int kLeftBarWidth = 6;
constexpr int kMainBarWidth = 40;
// A terminal shows thousands of colours: the applet's normal look.
constexpr int kTerminalColourDepth = 24;

} // namespace

std::vector<std::string> SplitStatusItem(const std::string& item) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < item.size() && item[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

std::string TextBar(int position, int maximum, int width) {
    int filled = 0;
    if (maximum > 0 && position > 0)
        filled = position >= maximum
                     ? width
                     : static_cast<int>(static_cast<long long>(position) * width / maximum);
    return "[" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(width - filled), '-') + "]";
}

std::string ShownCaption(const std::string& caption) {
    std::string shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

ConsoleView::ConsoleView(std::ostream& out, ConsoleFace face, int consoleRows)
    : out_(out), face_(face), consoleRows_(consoleRows) {
    buttons_[Index(app::Button::Left)].caption = app::layout::kLeftCaption;
    buttons_[Index(app::Button::Right)].caption = app::layout::kRightCaption;
    for (GaugeState& gauge : gauges_)
        gauge.hint = app::layout::kGaugeHint;
}

void ConsoleView::Log(const std::string& line) {
    if (face_ != ConsoleFace::EventLog) return;
    out_ << line << '\n';
    out_.flush();
}

void ConsoleView::AddStatusItem(const std::string& text) {
    for (const std::string& line : SplitStatusItem(text)) {
        lines_.push_back(line);
        Log(kConsolePrefix + line);
    }
    Redraw();
}

void ConsoleView::SetCaption(app::Button button, const std::string& caption) {
    ButtonState& state = buttons_[Index(button)];
    if (state.caption == caption) return;
    state.caption = caption;
    Log(kCaptionPrefix[Index(button)] + caption);
    Redraw();
}

void ConsoleView::SetEnabled(app::Button button, bool enabled) {
    ButtonState& state = buttons_[Index(button)];
    if (state.enabled == enabled) return;
    state.enabled = enabled;
    if (button == app::Button::Left) Log(kEnabledLeftPrefix + std::string(enabled ? "1" : "0"));
    Redraw();
}

void ConsoleView::SetFocus(app::Button button) {
    focus_ = button;
}

void ConsoleView::SetHintsShown(app::Button, bool) {}

void ConsoleView::LogGauge(app::Gauge gauge) {
    const GaugeState& state = gauges_[Index(gauge)];
    Log(kGaugePrefix[Index(gauge)] + std::to_string(state.position) + "/" +
        std::to_string(state.maximum));
    Redraw();
}

void ConsoleView::SetGaugePosition(app::Gauge gauge, int position) {
    GaugeState& state = gauges_[Index(gauge)];
    if (state.position == position) return;
    state.position = position;
    LogGauge(gauge);
}

void ConsoleView::SetGaugeMax(app::Gauge gauge, int maximum) {
    GaugeState& state = gauges_[Index(gauge)];
    if (state.maximum == maximum) return;
    state.maximum = maximum;
    LogGauge(gauge);
}

void ConsoleView::SetGaugeHint(app::Gauge gauge, const std::string& hint) {
    GaugeState& state = gauges_[Index(gauge)];
    if (state.hint == hint) return;
    state.hint = hint;
    if (gauge == app::Gauge::Main) Log(kHintMainPrefix + hint);
}

void ConsoleView::Beep() {
    if (face_ == ConsoleFace::EventLog) {
        Log(kBeepEvent);
        return;
    }
    out_ << kBell;
    out_.flush();
}

void ConsoleView::NoteUrl(const std::string& url) {
    lastUrl_ = url;
    Log(kUrlPrefix + url);
    Redraw();
}

void ConsoleView::ShowWindow() {
    shown_ = true;
    Redraw();
}

void ConsoleView::BringToFront() {}

int ConsoleView::ScreenBitsPerPixel() const {
    return kTerminalColourDepth;
}

// A terminal keeps its own colours; the gradient has nothing to paint.
void ConsoleView::SetGradient(unsigned, unsigned) {}
void ConsoleView::SetConsoleFontColour(unsigned) {}

void ConsoleView::Redraw() {
    if (face_ != ConsoleFace::Screen || !shown_) return;
    const GaugeState& left = gauges_[Index(app::Gauge::Left)];
    const GaugeState& main = gauges_[Index(app::Gauge::Main)];
    ScreenParts parts;
    parts.header = std::string(app::layout::kProgressCaption) + ' ' +
                   TextBar(left.position, left.maximum, kLeftBarWidth) +
                   TextBar(main.position, main.maximum, kMainBarWidth) + ' ' +
                   std::to_string(main.position) + '/' + std::to_string(main.maximum);
    parts.rule = kRule;
    for (const std::string& line : lines_)
        parts.console.push_back(' ' + line);
    if (!lastUrl_.empty()) parts.url = kOpenedPage + lastUrl_;
    const std::string leftCaption =
        ShownCaption(buttons_[Index(app::Button::Left)].caption) +
        (buttons_[Index(app::Button::Left)].enabled ? "" : kDisabledMark);
    const std::string rightCaption =
        ShownCaption(buttons_[Index(app::Button::Right)].caption) +
        (buttons_[Index(app::Button::Right)].enabled ? "" : kDisabledMark);
    parts.buttons = kKeysLeft + leftCaption + "    " + kKeysRight + rightCaption;
    parts.narrowButtons = {kKeysLeft + leftCaption, kKeysRightShort + rightCaption};
    out_ << kClearScreen;
    for (const std::string& line : ScreenLines(parts, consoleRows_, terminalSize_()))
        out_ << line << '\n';
    out_.flush();
}

} // namespace qv::ui
