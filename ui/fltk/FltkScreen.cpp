#include "FltkScreen.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

// The toolkit's current Xft font, which FLTK keeps for its own X11 code
// (declared only for the library's inside).
extern void* fl_xftfont;

namespace qv::ui {

namespace {

constexpr const char* kDisplayVariable = "DISPLAY";
// The faces the Windows window shows here (its Tahoma and Arial Black as
// the desktop draws them): DejaVu Sans, and its bold as the heavy face, from
// Debian's fonts-dejavu-core. FLTK's names: a leading blank is the regular
// style, "B" bold.
constexpr const char* kBodyFace = " DejaVu Sans";
constexpr const char* kBoldFace = "BDejaVu Sans";
constexpr int kUnknownDepth = 24;
// The leading members of Xft's XftFont, unchanged since Xft 2 (its header
// wants FreeType's include folder, which nothing else here needs).
struct XftFontHead {
    int ascent;
    int descent;
    int height;
};
// The start-up's failure code: the display went before a run could take it.
constexpr int kDisplayLostExitCode = 1;

std::function<void()>& DisplayLossReceiver() {
    static std::function<void()> receiver;
    return receiver;
}

// Runs once: a second call would come from a stray use of the dead
// connection, where nothing is left to finish.
int DisplayConnectionLost(Display*) {
    static bool entered = false;
    if (!entered) {
        entered = true;
        if (const std::function<void()> receiver = DisplayLossReceiver()) receiver();
    }
    ::_exit(kDisplayLostExitCode);
}

// FLTK ends the process when the display cannot be opened; we want to go on
// with the terminal instead.
struct NoDisplay {};
[[noreturn]] void RefuseFatal(const char*, ...) {
    throw NoDisplay{};
}

} // namespace

bool OpenDesktopDisplay() {
    const char* display = std::getenv(kDisplayVariable);
    if (display == nullptr || *display == '\0') return false;
    const auto previous = Fl::fatal;
    Fl::fatal = RefuseFatal;
    bool opened = true;
    try {
        fl_open_display();
    } catch (const NoDisplay&) {
        opened = false;
    }
    Fl::fatal = previous;
    return opened;
}

int DesktopDepth() {
    fl_open_display();
    return fl_visual != nullptr ? fl_visual->depth : kUnknownDepth;
}

void WatchDisplayLoss(std::function<void()> onLoss) {
    DisplayLossReceiver() = std::move(onLoss);
    // After the toolkit's own display opening, which sets its handler.
    fl_open_display();
    XSetIOErrorHandler(DisplayConnectionLost);
}

void KeepWindowPlace(Fl_Window& window) {
    if (window.shown() == 0) return;
    XMoveWindow(fl_display, fl_xid(&window), window.x(), window.y());
}

int CurrentFontLineHeight() {
    const auto* font = static_cast<const XftFontHead*>(fl_xftfont);
    return font != nullptr && font->height > 0 ? font->height : fl_height();
}

void LoadLayoutFaces(int& body, int& bold) {
    body = FL_FREE_FONT;
    bold = FL_FREE_FONT + 1;
    Fl::set_font(static_cast<Fl_Font>(body), kBodyFace);
    Fl::set_font(static_cast<Fl_Font>(bold), kBoldFace);
}

} // namespace qv::ui
