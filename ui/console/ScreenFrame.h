#pragma once
// The lines of the terminal front end's screen, fitted to the terminal.

#include "platform/Terminal.h"

#include <optional>
#include <string>
#include <vector>

namespace qv::ui {

struct ScreenParts {
    std::string header; // the two gauges
    std::string rule;
    std::vector<std::string> console;       // every console line as drawn, oldest first
    std::string url;                        // empty until a page was opened
    std::string buttons;                    // both captions on one line
    std::vector<std::string> narrowButtons; // one caption a line, for a narrow terminal
};

// Without a size, or where the whole frame fits: header, rule, the newest
// consoleRows console lines, rule, the page, the captions. On a smaller
// terminal the captions and the newest console lines stay in sight: wrapped
// lines count as the rows they take, empty console lines, the rules, the
// page and the header give way, and the newest line is cut when nothing
// else fits.
std::vector<std::string> ScreenLines(const ScreenParts& parts, int consoleRows,
                                     std::optional<platform::TerminalSize> size);

} // namespace qv::ui
