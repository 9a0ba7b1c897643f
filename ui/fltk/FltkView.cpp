#include "FltkView.h"

#include "FltkScreen.h"

#include "DesktopRules.h"
#include "app/WindowLayout.h"
#include "console/ConsoleView.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <optional>
#include <utility>

namespace qv::ui {

namespace {

constexpr int kWindowWidth = app::kClientWidth + 2 * app::kFrameWidth;
constexpr int kWindowHeight = app::kClientHeight + 2 * app::kFrameWidth;

// Tab and Shift+Tab, and the arrows as a dialog box takes them.
std::optional<bool> FocusStep(int key, int state) {
    if ((state & (FL_ALT | FL_CTRL | FL_META)) != 0) return std::nullopt;
    if (key == FL_Tab) return (state & FL_SHIFT) == 0;
    if (key == FL_Right || key == FL_Down) return true;
    if (key == FL_Left || key == FL_Up) return false;
    return std::nullopt;
}

// The layout's places in the client area, moved into the window by the frame.
template <typename Widget, typename... Rest>
Widget* Make(const app::TPlace& place, Rest&&... rest) {
    return new Widget(place.Left + app::kFrameWidth, place.Top + app::kFrameWidth, place.Width,
                      place.Height, std::forward<Rest>(rest)...);
}

} // namespace

// The frame: the gradient and a flat border, no caption bar; a press on a bare
// part of the client area drags it; closing is asked of the run, which says no.
class FormWindow final : public Fl_Double_Window {
public:
    FormWindow(const Backdrop& backdrop, std::function<bool()> closeRequested,
               std::function<void(bool)> moveFocus)
        : Fl_Double_Window(kWindowWidth, kWindowHeight, app::kWindowTitle), backdrop_(backdrop),
          closeRequested_(std::move(closeRequested)), moveFocus_(std::move(moveFocus)) {
        box(FL_NO_BOX);
        border(0);
        xclass(app::kWindowClass);
        // The window manager's close (and Escape, which FLTK takes for one).
        callback([](Fl_Widget* window, void*) { static_cast<FormWindow*>(window)->AskClose(); });
    }

    void draw() override {
        if ((damage() & ~FL_DAMAGE_CHILD) != 0) {
            fl_color(static_cast<Fl_Color>(FltkColour(backdrop_.Bottom())));
            for (int ring = 0; ring < app::kFrameWidth; ++ring)
                fl_rect(ring, ring, w() - 2 * ring, h() - 2 * ring);
            backdrop_.Paint(app::kFrameWidth, app::kFrameWidth, app::kClientWidth,
                            app::kClientHeight);
        }
        draw_children();
    }

    int handle(int event) override {
        switch (event) {
        case FL_PUSH:
            if (Fl_Double_Window::handle(event) != 0) return 1;
            if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
            dragging_ = true;
            dragX_ = Fl::event_x_root() - x();
            dragY_ = Fl::event_y_root() - y();
            return 1;
        case FL_DRAG:
            if (!dragging_) break;
            position(Fl::event_x_root() - dragX_, Fl::event_y_root() - dragY_);
            return 1;
        case FL_RELEASE:
            if (!dragging_) break;
            dragging_ = false;
            return 1;
        case FL_KEYBOARD:
        case FL_SHORTCUT:
            // Without a window manager Alt+F4 reaches us: it is a close request too.
            if (Fl::event_key() == FL_F + 4 && Fl::event_state(FL_ALT) != 0) {
                AskClose();
                return 1;
            }
            // Only between the two buttons, whichever has the focus (or none).
            if (const auto forward = FocusStep(Fl::event_key(), Fl::event_state());
                event == FL_KEYBOARD && forward) {
                moveFocus_(*forward);
                return 1;
            }
            break;
        default:
            break;
        }
        return Fl_Double_Window::handle(event);
    }

private:
    void AskClose() {
        if (closeRequested_()) hide();
    }

    const Backdrop& backdrop_;
    std::function<bool()> closeRequested_;
    std::function<void(bool)> moveFocus_;
    bool dragging_ = false;
    int dragX_ = 0;
    int dragY_ = 0;
};

FltkView::FltkView(platform::EventLoop& loop)
    : loop_(loop), backdrop_(app::kFrameWidth, app::kClientHeight) {
    LoadLayoutFaces(fonts_.body, fonts_.bold);
    backdrop_.SetColours(app::kColourBlack, app::kGradientEnd);
    Fl_Tooltip::color(static_cast<Fl_Color>(FltkColour(app::layout::kHintBackground)));
    Fl_Tooltip::textcolor(static_cast<Fl_Color>(FltkColour(app::layout::kHintText)));
    Fl_Tooltip::font(static_cast<Fl_Font>(fonts_.body));
    Fl_Tooltip::size(fonts_.bodySize);
    window_ = std::make_unique<FormWindow>(
        backdrop_, [this] { return events_ != nullptr && events_->CloseRequested(); },
        [this](bool forward) { MoveFocus(forward); });
    // DevLabel never shows a text: it has nothing to draw.
    Make<LogoPicture>(app::layout::kShownImageLogo, fonts_);
    Make<PlainLabel>(app::layout::kLabelProgress, app::layout::kProgressCaption, fonts_);
    gauges_[Index(app::Gauge::Left)] = Make<FlatGauge>(app::layout::kProgressBarLeft, backdrop_);
    gauges_[Index(app::Gauge::Main)] = Make<FlatGauge>(app::layout::kShownProgressBar, backdrop_);
    console_ = Make<StatusConsole>(app::layout::kMemoStatus, backdrop_, fonts_);
    console_->tooltip(app::layout::kMemoHint);
    buttons_[Index(app::Button::Left)].widget =
        Make<FlatButton>(app::layout::kButtonLeft, backdrop_, fonts_);
    buttons_[Index(app::Button::Right)].widget =
        Make<FlatButton>(app::layout::kButtonRight, backdrop_, fonts_);
    window_->end();
    buttons_[Index(app::Button::Left)].hint = app::layout::kLeftHint;
    for (FlatGauge* gauge : gauges_)
        gauge->tooltip(app::layout::kGaugeHint);
    SetCaption(app::Button::Left, app::layout::kLeftCaption);
    SetCaption(app::Button::Right, app::layout::kRightCaption);
    for (app::Button button : {app::Button::Left, app::Button::Right}) {
        ButtonState& state = buttons_[Index(button)];
        state.widget->tooltip(state.hint);
        state.widget->OnPress = [this, button] { Press(button); };
    }
    PlaceOnScreen();
}

// Centred on the screen; on a screen smaller than the window, the buttons
// still inside the work area.
void FltkView::PlaceOnScreen() {
    app::TPlace screen;
    app::TPlace work;
    Fl::screen_xywh(screen.Left, screen.Top, screen.Width, screen.Height, 0);
    Fl::screen_work_area(work.Left, work.Top, work.Width, work.Height, 0);
    const ScreenPoint origin =
        WindowOrigin(screen, work, kWindowWidth, kWindowHeight, app::kFrameWidth,
                     ButtonRow(app::layout::kButtonLeft, app::layout::kButtonRight));
    window_->position(origin.x, origin.y);
}

void FltkView::MoveFocus(bool forward) {
    std::optional<int> focused;
    std::array<bool, kButtonCount> enabled{};
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (Fl::focus() == buttons_[i].widget) focused = static_cast<int>(i);
        enabled[i] = buttons_[i].widget->active() != 0;
    }
    if (const auto next = NextButton(focused, enabled, forward))
        buttons_[static_cast<size_t>(*next)].widget->take_focus();
}

FltkView::~FltkView() {
    // Hiding the window would write to the dead connection.
    if (displayGone_) static_cast<void>(window_.release());
}

void FltkView::Connect(app::MainViewEvents& events) {
    events_ = &events;
}

// A press reaches the run as a message, never from inside the toolkit's
// event handling, as the desktop's own messages would.
void FltkView::Press(app::Button button) {
    if (events_ == nullptr) return;
    loop_.Post([events = events_, button] {
        if (button == app::Button::Left)
            events->LeftClicked();
        else
            events->RightClicked();
    });
}

void FltkView::AddStatusItem(const std::string& text) {
    if (displayGone_) return; // wrapping measures in the display's fonts
    for (const std::string& line : SplitStatusItem(text))
        console_->AddLine(line);
}

void FltkView::SetCaption(app::Button button, const std::string& caption) {
    FlatButton& widget = *buttons_[Index(button)].widget;
    widget.copy_label(caption.c_str());
    widget.redraw();
}

void FltkView::SetEnabled(app::Button button, bool enabled) {
    FlatButton& widget = *buttons_[Index(button)].widget;
    if (displayGone_) {
        widget.clear_active(); // asked back by Enabled; the focus is no more
        if (enabled) widget.set_active();
        return;
    }
    // The toolkit would hand the focus on to the next button, so that one
    // key press could cancel; the window itself keeps it instead.
    if (!enabled && Fl::focus() == &widget) Fl::focus(window_.get());
    if (enabled)
        widget.activate();
    else
        widget.deactivate();
}

void FltkView::SetFocus(app::Button button) {
    if (displayGone_) return;
    buttons_[Index(button)].widget->take_focus();
}

void FltkView::SetHintsShown(app::Button button, bool shown) {
    ButtonState& state = buttons_[Index(button)];
    state.widget->tooltip(shown ? state.hint : nullptr);
}

void FltkView::SetGaugePosition(app::Gauge gauge, int position) {
    gauges_[Index(gauge)]->SetPosition(position);
}

void FltkView::SetGaugeMax(app::Gauge gauge, int maximum) {
    gauges_[Index(gauge)]->SetMaximum(maximum);
}

void FltkView::SetGaugeHint(app::Gauge gauge, const std::string& hint) {
    gauges_[Index(gauge)]->copy_tooltip(hint.c_str());
}

void FltkView::Beep() {
    if (displayGone_) return;
    fl_beep(FL_BEEP_DEFAULT);
}

void FltkView::ShowWindow() {
    if (displayGone_) return;
    window_->show();
    if (!shown_) {
        // The toolkit pulls a new window onto the screen whole; a window
        // larger than the screen goes back to its place.
        KeepWindowPlace(*window_);
        buttons_[Index(app::Button::Right)].widget->take_focus();
    }
    shown_ = true;
}

void FltkView::BringToFront() {
    if (displayGone_) return;
    window_->show(); // shown already: raised
}

// A desktop's window manager needs no nudge to bring a new window up.
void FltkView::MinimizeAndRestore() {}

int FltkView::ScreenBitsPerPixel() const {
    return DesktopDepth();
}

void FltkView::SetGradient(unsigned startColour, unsigned endColour) {
    backdrop_.SetColours(startColour, endColour);
    for (FlatGauge* gauge : gauges_)
        gauge->SetFill(GaugeFill(DesktopDepth(), endColour));
    window_->redraw();
}

void FltkView::SetConsoleFontColour(unsigned colour) {
    console_->SetTextColour(colour);
}

} // namespace qv::ui
