#pragma once
// The UI-automation driver's view of the applet's window: found by its
// class, components found by their control identifiers.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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

} // namespace qv::uidriver
