#pragma once
// What the two desktop windows (FLTK on Linux, Win32 on Windows) do alike
// beyond the layout's places: which button the keyboard moves to, the
// gauges' fill on a palette screen, and where the window goes on a screen
// smaller than itself. Plain rules, so both windows follow one copy.

#include "app/WindowLayout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>

namespace qv::ui {

// The two buttons in the keyboard's order: ButtonLeft, then ButtonRight.
inline constexpr int kButtonCount = 2;

// The button that Tab (forward) or Shift+Tab moves the focus to: the next
// enabled one after the focused one, wrapping; from no focused button, the
// first (or, backwards, the last) enabled one. Nothing when none is enabled.
inline std::optional<int> NextButton(std::optional<int> focused,
                                     const std::array<bool, kButtonCount>& enabled, bool forward) {
    const int step = forward ? 1 : kButtonCount - 1;
    int at = focused.value_or(forward ? kButtonCount - 1 : 0);
    for (int tried = 0; tried < kButtonCount; ++tried) {
        at = (at + step) % kButtonCount;
        if (enabled[static_cast<size_t>(at)]) return at;
    }
    return std::nullopt;
}

// The access key of a caption: the character after its single "&" ("&&" is
// a plain ampersand), lower-cased; none when the caption has no such "&".
inline std::optional<char> AccessKey(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&')
            return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
        ++i;
    }
    return std::nullopt;
}

// The gauges' fill on a 16- or 256-colour screen. RGB(196, 0, 38) has no
// palette entry of its own there and lands on the same pure red as the
// frame's plain-red background, so the fill would not show. Yellow is one
// of the fixed colours of both the 16-colour and the 256-colour system
// palettes (drawn exactly, without dithering) and stands out from the red
// around the gauges and from the black of their empty part alike.
inline constexpr unsigned kPaletteGaugeFill = 0x00FFFF; // RGB(255, 255, 0)

inline constexpr bool IsPaletteScreen(int bitsPerPixel) {
    return bitsPerPixel == 4 || bitsPerPixel == 8;
}

inline constexpr unsigned GaugeFill(int bitsPerPixel, unsigned trueColourFill) {
    return IsPaletteScreen(bitsPerPixel) ? kPaletteGaugeFill : trueColourFill;
}

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// Both buttons' rectangle in the client area.
inline app::TPlace ButtonRow(const app::TPlace& left, const app::TPlace& right) {
    const int x = std::min(left.Left, right.Left);
    const int y = std::min(left.Top, right.Top);
    return {x, y, std::max(left.Left + left.Width, right.Left + right.Width) - x,
            std::max(left.Top + left.Height, right.Top + right.Height) - y};
}

namespace detail {
// One axis: the centred start, moved as little as needed to bring the span
// [spanStart, spanEnd) of the window into the area; when the area is
// smaller still, the span's start stays in it.
inline int KeepSpanInside(int centred, int spanStart, int spanEnd, int areaStart, int areaEnd) {
    return std::max(std::min(centred, areaEnd - spanEnd), areaStart - spanStart);
}
} // namespace detail

// The outer window's top-left corner: centred on the screen (halves rounded
// toward zero), then, on a screen smaller than the window, moved just enough
// that the buttons lie inside the work area. The window's frame is `frame`
// pixels wide around the client area.
inline ScreenPoint WindowOrigin(const app::TPlace& screen, const app::TPlace& workArea,
                                int outerWidth, int outerHeight, int frame,
                                const app::TPlace& buttons) {
    const int centredX = screen.Left + (screen.Width - outerWidth) / 2;
    const int centredY = screen.Top + (screen.Height - outerHeight) / 2;
    return {
        detail::KeepSpanInside(centredX, frame + buttons.Left, frame + buttons.Left + buttons.Width,
                               workArea.Left, workArea.Left + workArea.Width),
        detail::KeepSpanInside(centredY, frame + buttons.Top, frame + buttons.Top + buttons.Height,
                               workArea.Top, workArea.Top + workArea.Height)};
}

} // namespace qv::ui
