#include "FltkScreen.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <fontconfig/fontconfig.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace qv::ui {

namespace {

constexpr const char* kDisplayVariable = "DISPLAY";
constexpr const char* kLayoutFamily = "Tahoma";
// FLTK's names for a face: a leading blank is the regular style, "B" bold.
constexpr const char* kBodyFace = " Tahoma";
constexpr const char* kBoldFace = "BTahoma";
// Metric-compatible Tahoma from Debian's fonts-wine package.
constexpr const char* kFallbackFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                          "/usr/share/wine/fonts/tahomabd.ttf"};
constexpr int kUnknownDepth = 24;
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

bool DesktopHasFamily(const char* family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (pattern == nullptr) return false;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    bool found = false;
    FcChar8* matched = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch)
        found = FcStrCmpIgnoreCase(matched, reinterpret_cast<const FcChar8*>(family)) == 0;
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return found;
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

void LoadLayoutFaces(int& body, int& bold) {
    if (FcInit() && !DesktopHasFamily(kLayoutFamily)) {
        for (const char* file : kFallbackFiles)
            if (std::filesystem::exists(file))
                FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file));
    }
    body = FL_FREE_FONT;
    bold = FL_FREE_FONT + 1;
    Fl::set_font(static_cast<Fl_Font>(body), kBodyFace);
    Fl::set_font(static_cast<Fl_Font>(bold), kBoldFace);
}

} // namespace qv::ui
