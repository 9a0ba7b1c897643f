#pragma once
// The window dressing on FLTK: the frame's vertical gradient, which every
// transparently painted component paints again behind itself so the seams
// never show; the flat gauges; the flat buttons; the status console with its
// centred lines and scroll bar; the logo.

#include "app/WindowLayout.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Widget.H>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::ui {

// FLTK's colour of a 0x00BBGGRR colour value.
unsigned FltkColour(unsigned colourValue);

// The client area's gradient, top row to bottom row.
class Backdrop {
public:
    Backdrop(int originY, int height) : originY_(originY), height_(height) {}

    void SetColours(unsigned top, unsigned bottom) {
        top_ = top;
        bottom_ = bottom;
    }
    unsigned Bottom() const { return bottom_; }
    // Paints the gradient over the rectangle, in window coordinates.
    void Paint(int x, int y, int w, int h) const;

private:
    int originY_;
    int height_;
    unsigned top_ = 0;
    unsigned bottom_ = 0;
};

// Fonts of the layout: the body face and the bold face of the progress label
// and the logo.
struct LayoutFonts {
    int body = 0;
    int bold = 0;
    int bodySize = app::layout::kBodySize;
    int labelSize = app::layout::kLabelSize;
};

// Accepts the pointer's entry so that its tooltip shows, and nothing else:
// a press on it drags the window like any bare part of the client area.
class HintArea : public Fl_Widget {
public:
    HintArea(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    int handle(int event) override;
};

class FlatGauge final : public HintArea {
public:
    FlatGauge(int x, int y, int w, int h, const Backdrop& backdrop)
        : HintArea(x, y, w, h), backdrop_(backdrop) {}
    void SetPosition(int position);
    void SetMaximum(int maximum);
    // The filled part's colour, 0x00BBGGRR; the frame's gradient end until set.
    void SetFill(unsigned colourValue);
    void draw() override;

private:
    const Backdrop& backdrop_;
    int position_ = 0;
    int maximum_ = 100;
    std::optional<unsigned> fill_;
};

class FlatButton final : public Fl_Button {
public:
    FlatButton(int x, int y, int w, int h, const Backdrop& backdrop, const LayoutFonts& fonts);
    void draw() override;
    int handle(int event) override;

    std::function<void()> OnPress;

private:
    const Backdrop& backdrop_;
    const LayoutFonts& fonts_;
};

// The console's scroll bar: without a thumb while there is nothing to scroll.
class ConsoleScrollBar final : public Fl_Scrollbar {
public:
    ConsoleScrollBar(int x, int y, int w, int h) : Fl_Scrollbar(x, y, w, h) {}
    void draw() override;
};

class StatusConsole final : public Fl_Group {
public:
    StatusConsole(int x, int y, int w, int h, const Backdrop& backdrop, const LayoutFonts& fonts);
    // One line of the console; long lines wrap at word boundaries.
    void AddLine(const std::string& line);
    void SetTextColour(unsigned colourValue);
    void draw() override;
    int handle(int event) override;

private:
    int RowHeight() const;
    int VisibleRows() const;
    int TextWidth() const;
    void ScrollTo(int topRow);
    static void Scrolled(Fl_Widget* bar, void* self);

    const Backdrop& backdrop_;
    const LayoutFonts& fonts_;
    ConsoleScrollBar bar_;
    std::vector<std::string> rows_;
    int topRow_ = 0;
    unsigned textColour_ = app::layout::kText;
};

// Our own logo: a disc and the maker's name, over the gradient.
class LogoPicture final : public Fl_Widget {
public:
    LogoPicture(int x, int y, int w, int h, const LayoutFonts& fonts)
        : Fl_Widget(x, y, w, h), fonts_(fonts) {}
    void draw() override;

private:
    const LayoutFonts& fonts_;
};

// A caption without box, over the gradient (the window paints behind it).
class PlainLabel final : public Fl_Widget {
public:
    PlainLabel(int x, int y, int w, int h, const char* text, const LayoutFonts& fonts)
        : Fl_Widget(x, y, w, h), text_(text), fonts_(fonts) {}
    void draw() override;

private:
    const char* text_;
    const LayoutFonts& fonts_;
};

} // namespace qv::ui
