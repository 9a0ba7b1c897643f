#include "FltkWidgets.h"

#include "FltkScreen.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace qv::ui {

namespace {

using namespace app::layout;

// The console: a scroll bar as wide as the desktop's usual one, and the
// edit control's margins beside the text (none above it): those that the
// Windows window's console takes for its face, so that lines wrap alike.
constexpr int kScrollBarWidth = 17;
constexpr int kConsoleSideMargin = 8;
constexpr int kWheelRows = 3;
constexpr int kFocusInset = 3;

unsigned Blend(unsigned from, unsigned to, int step, int steps) {
    if (steps <= 0) return from;
    const auto channel = [&](int shift) {
        const int a = static_cast<int>((from >> shift) & 0xFF);
        const int b = static_cast<int>((to >> shift) & 0xFF);
        return static_cast<unsigned>(a + (b - a) * step / steps) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

void SetColour(unsigned colourValue) {
    fl_color(static_cast<Fl_Color>(FltkColour(colourValue)));
}

void FillCircle(int cx, int cy, int radius, unsigned colourValue) {
    SetColour(colourValue);
    fl_pie(cx - radius, cy - radius, 2 * radius + 1, 2 * radius + 1, 0, 360);
}

int Width(const std::string& text) {
    return static_cast<int>(fl_width(text.c_str(), static_cast<int>(text.size())) + 0.5);
}

// The rows of one console line in the current font: greedy at blanks, and a
// word wider than a row is broken where it has to be.
std::vector<std::string> WrapLine(const std::string& line, int width) {
    std::vector<std::string> rows;
    std::string row;
    size_t i = 0;
    while (i < line.size()) {
        const size_t wordStart = line.find_first_not_of(' ', i);
        size_t end = wordStart == std::string::npos ? line.size() : line.find(' ', wordStart);
        if (end == std::string::npos) end = line.size();
        std::string token = line.substr(i, end - i);
        if (!row.empty() && Width(row + token) > width) {
            rows.push_back(row);
            row.clear();
            const size_t first = token.find_first_not_of(' ');
            token = first == std::string::npos ? std::string() : token.substr(first);
        }
        while (token.size() > 1 && Width(row + token) > width) {
            size_t fit = 1;
            while (fit < token.size() && Width(row + token.substr(0, fit + 1)) <= width)
                ++fit;
            rows.push_back(row + token.substr(0, fit));
            row.clear();
            token.erase(0, fit);
        }
        row += token;
        i = end;
    }
    rows.push_back(row);
    return rows;
}

} // namespace

unsigned FltkColour(unsigned colourValue) {
    return fl_rgb_color(static_cast<uchar>(colourValue & 0xFF),
                        static_cast<uchar>((colourValue >> 8) & 0xFF),
                        static_cast<uchar>((colourValue >> 16) & 0xFF));
}

void Backdrop::Paint(int x, int y, int w, int h) const {
    for (int row = y; row < y + h; ++row) {
        const int clientRow = std::clamp(row - originY_, 0, height_ - 1);
        SetColour(Blend(top_, bottom_, clientRow, height_ - 1));
        fl_rectf(x, row, w, 1);
    }
}

int HintArea::handle(int event) {
    // Entered and moved over: the tooltip follows the pointer here.
    return event == FL_ENTER || event == FL_MOVE || event == FL_LEAVE ? 1 : 0;
}

void FlatGauge::SetPosition(int position) {
    if (position == position_) return;
    position_ = position;
    redraw();
}

void FlatGauge::SetMaximum(int maximum) {
    if (maximum == maximum_) return;
    maximum_ = maximum;
    redraw();
}

void FlatGauge::draw() {
    SetColour(kGaugeBack);
    fl_rectf(x(), y(), w(), h());
    if (maximum_ <= 0 || position_ <= 0) return;
    const int filled =
        static_cast<int>(static_cast<long long>(w()) * std::min(position_, maximum_) / maximum_);
    SetColour(fill_.value_or(backdrop_.Bottom()));
    fl_rectf(x(), y(), filled, h());
}

void FlatGauge::SetFill(unsigned colourValue) {
    fill_ = colourValue;
    redraw();
}

FlatButton::FlatButton(int x, int y, int w, int h, const Backdrop& backdrop,
                       const LayoutFonts& fonts)
    : Fl_Button(x, y, w, h), backdrop_(backdrop), fonts_(fonts) {
    callback([](Fl_Widget* widget, void*) {
        auto* button = static_cast<FlatButton*>(widget);
        if (button->OnPress) button->OnPress();
    });
}

void FlatButton::draw() {
    backdrop_.Paint(x(), y(), w(), h());
    const bool pressed = value() != 0;
    const bool enabled = active_r() != 0;
    if (pressed) {
        SetColour(kPressedFill);
        fl_rectf(x(), y(), w(), h());
    }
    SetColour(enabled ? kText : kGreyedText);
    fl_rect(x(), y(), w(), h());
    const int shift = pressed ? 1 : 0;
    // A button's label takes "&" as the access key's underline, as the desktop does.
    labelfont(static_cast<Fl_Font>(fonts_.body));
    labelsize(fonts_.bodySize);
    labelcolor(static_cast<Fl_Color>(FltkColour(enabled ? kText : kGreyedText)));
    draw_label(x() + shift, y() + shift, w(), h(), FL_ALIGN_CENTER);
    if (Fl::focus() == this) {
        fl_line_style(FL_DOT);
        fl_rect(x() + kFocusInset, y() + kFocusInset, w() - 2 * kFocusInset, h() - 2 * kFocusInset);
        fl_line_style(FL_SOLID);
    }
}

int FlatButton::handle(int event) {
    if (event == FL_ENTER || event == FL_LEAVE) return 1; // for the tooltip
    // Return presses the focused button as Space does.
    const int key = Fl::event_key();
    if (event == FL_KEYBOARD && Fl::focus() == this && (key == FL_Enter || key == FL_KP_Enter) &&
        Fl::event_state(FL_SHIFT | FL_CTRL | FL_ALT | FL_META) == 0) {
        simulate_key_action();
        do_callback();
        return 1;
    }
    return Fl_Button::handle(event);
}

void ConsoleScrollBar::draw() {
    Fl_Scrollbar::draw();
    if (maximum() != minimum()) return;
    // Nothing to scroll: the track between the arrows shows no thumb.
    const int x0 = x() + Fl::box_dx(box());
    const int y0 = y() + Fl::box_dy(box());
    const int width = w() - Fl::box_dw(box());
    const int height = h() - Fl::box_dh(box());
    fl_push_clip(x0, y0 + width, width, height - 2 * width);
    draw_box();
    fl_pop_clip();
}

StatusConsole::StatusConsole(int x, int y, int w, int h, const Backdrop& backdrop,
                             const LayoutFonts& fonts)
    : Fl_Group(x, y, w, h), backdrop_(backdrop), fonts_(fonts),
      bar_(x + w - kScrollBarWidth, y, kScrollBarWidth, h) {
    end();
    bar_.type(FL_VERTICAL);
    bar_.linesize(1);
    bar_.callback(Scrolled, this);
    bar_.visible_focus(0);
    ScrollTo(0);
}

int StatusConsole::RowHeight() const {
    fl_font(fonts_.body, fonts_.bodySize);
    return CurrentFontLineHeight();
}

int StatusConsole::VisibleRows() const {
    return std::max(1, h() / RowHeight());
}

int StatusConsole::TextWidth() const {
    return w() - kScrollBarWidth - 2 * kConsoleSideMargin;
}

void StatusConsole::AddLine(const std::string& line) {
    fl_font(fonts_.body, fonts_.bodySize);
    for (std::string& row : WrapLine(line, TextWidth()))
        rows_.push_back(std::move(row));
    // The newest line is the one in view, as after the caret's scroll.
    ScrollTo(static_cast<int>(rows_.size()) - VisibleRows());
}

void StatusConsole::SetTextColour(unsigned colourValue) {
    textColour_ = colourValue;
    redraw();
}

void StatusConsole::ScrollTo(int topRow) {
    const int visible = VisibleRows();
    const int total = static_cast<int>(rows_.size());
    topRow_ = std::clamp(topRow, 0, std::max(0, total - visible));
    bar_.value(topRow_, visible, 0, std::max(total, visible));
    // Greyed like a system scroll bar that has nothing to scroll.
    if (total > visible)
        bar_.activate();
    else
        bar_.deactivate();
    redraw();
}

void StatusConsole::Scrolled(Fl_Widget* bar, void* self) {
    auto* console = static_cast<StatusConsole*>(self);
    console->ScrollTo(static_cast<Fl_Scrollbar*>(bar)->value());
}

void StatusConsole::draw() {
    const int textAreaWidth = w() - kScrollBarWidth;
    backdrop_.Paint(x(), y(), textAreaWidth, h());
    fl_push_clip(x(), y(), textAreaWidth, h());
    fl_font(fonts_.body, fonts_.bodySize);
    SetColour(textColour_);
    const int rowHeight = CurrentFontLineHeight();
    const int rows = VisibleRows();
    const int centre = x() + kConsoleSideMargin + TextWidth() / 2;
    for (int i = 0; i < rows && topRow_ + i < static_cast<int>(rows_.size()); ++i) {
        const std::string& row = rows_[static_cast<size_t>(topRow_ + i)];
        const int top = y() + i * rowHeight;
        // Plain text: a console line's "&" is no access key.
        fl_draw(row.c_str(), static_cast<int>(row.size()), centre - Width(row) / 2,
                top + rowHeight - fl_descent());
    }
    fl_pop_clip();
    draw_child(bar_);
}

int StatusConsole::handle(int event) {
    switch (event) {
    case FL_MOUSEWHEEL:
        ScrollTo(topRow_ + Fl::event_dy() * kWheelRows);
        return 1;
    case FL_PUSH:
        // A press on the text is the console's (no drag), the bar's is the bar's.
        Fl_Group::handle(event);
        return 1;
    case FL_ENTER:
    case FL_MOVE:
    case FL_LEAVE:
        Fl_Group::handle(event);
        return 1; // for the tooltip
    default:
        return Fl_Group::handle(event);
    }
}

void LogoPicture::draw() {
    const LogoShape logo = LogoIn(x(), y(), h());
    FillCircle(logo.centreX, logo.centreY, logo.radius, kDiscRim);
    FillCircle(logo.centreX, logo.centreY, SheenRadius(logo.radius), kDiscSheen);
    FillCircle(logo.centreX, logo.centreY, LabelRadius(logo.radius), kDiscLabel);
    FillCircle(logo.centreX, logo.centreY, HoleRadius(logo.radius), kDiscHole);
    SetColour(kText);
    fl_font(fonts_.bold, kLogoNameSize);
    fl_draw(kLogoName, logo.textLeft, logo.nameBottom - fl_descent());
    fl_font(fonts_.body, fonts_.bodySize);
    fl_draw(kLogoTagline, logo.textLeft, logo.nameBottom + fl_height() - fl_descent());
}

void PlainLabel::draw() {
    SetColour(kText);
    fl_font(fonts_.bold, fonts_.labelSize);
    fl_draw(text_, x(), y() + fl_height() - fl_descent());
}

} // namespace qv::ui
