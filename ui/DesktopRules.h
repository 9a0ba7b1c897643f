#pragma once
// What the two desktop windows (FLTK on Linux, Win32 on Windows) do alike
// beyond the layout's places: which button the keyboard moves to and what
// presses a button. Plain rules, so both windows follow one copy.

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

} // namespace qv::ui
