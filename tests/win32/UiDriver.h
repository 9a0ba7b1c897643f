#pragma once
// The UI-automation driver's view of the applet's window: found by its
// class, components found by their control identifiers.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qv::uidriver {

struct Context {
    HWND window = nullptr;
    int failures = 0;
};

// Runs one command with its arguments taken from the front of `words`;
// false when the command is unknown or its arguments are missing.
bool RunCommand(Context& context, std::vector<std::string>& words);

// Pixels of the window's client area as the screen shows them.
void PrintPixel(Context& context, int x, int y);
// Takes its five arguments from the front of `words`.
void CountColour(Context& context, std::vector<std::string>& words);

} // namespace qv::uidriver
