#pragma once
// Linux: which front end the applet shows. The desktop window when a display
// can be opened; the terminal front end when none can, or when the
// environment asks for it (a screen on a terminal, the event log elsewhere);
// the window with the event log beside it when the environment asks for that.

#include "app/StartUp.h"

#include <string>
#include <vector>

namespace qv::ui {

inline constexpr const char* kFrontEndVariable = "QVAPPLET_FRONT_END";
inline constexpr const char* kFrontEndTerminal = "terminal";
inline constexpr const char* kFrontEndWindowAndLog = "window+log";
inline constexpr const char* kHelpArgument = "--help";

enum class FrontEndKind { Terminal, Window, WindowAndLog };

// The rule itself: the variable's value (null when unset) and whether a
// desktop window could be opened.
FrontEndKind ChooseFrontEnd(const char* variable, bool desktopAvailable);
bool AsksForHelp(const std::vector<std::string>& arguments);
// What --help prints.
const char* FrontEndHelp();

// The factory of the chosen front end; looks at the display only when the
// variable leaves the window possible.
app::FrontEndFactory ChosenFrontEnd();

} // namespace qv::ui
