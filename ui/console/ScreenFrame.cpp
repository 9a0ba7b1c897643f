#include "ScreenFrame.h"

#include <algorithm>

namespace qv::ui {

namespace {

int RowsOf(const std::string& line, int columns) {
    return line.empty() ? 1 : (static_cast<int>(line.size()) + columns - 1) / columns;
}

int RowsOf(const std::vector<std::string>& lines, int columns) {
    int rows = 0;
    for (const std::string& line : lines)
        rows += RowsOf(line, columns);
    return rows;
}

std::string Cut(const std::string& line, int columns) {
    return line.substr(0, static_cast<size_t>(columns));
}

std::vector<std::string> FullFrame(const ScreenParts& parts, int consoleRows) {
    std::vector<std::string> lines{parts.header, parts.rule};
    const size_t rows = static_cast<size_t>(std::max(consoleRows, 0));
    const size_t first = parts.console.size() > rows ? parts.console.size() - rows : 0;
    lines.insert(lines.end(), parts.console.begin() + static_cast<std::ptrdiff_t>(first),
                 parts.console.end());
    for (size_t i = parts.console.size() - first; i < rows; ++i)
        lines.emplace_back();
    lines.push_back(parts.rule);
    if (!parts.url.empty()) lines.push_back(parts.url);
    lines.push_back(parts.buttons);
    return lines;
}

// The newest non-empty console lines that fit the rows, oldest first.
std::vector<std::string> NewestLines(const std::vector<std::string>& console, int rows,
                                     int columns) {
    std::vector<std::string> shown;
    for (auto line = console.rbegin(); line != console.rend() && rows > 0; ++line) {
        if (line->find_first_not_of(' ') == std::string::npos) continue;
        const int needed = RowsOf(*line, columns);
        if (needed > rows && !shown.empty()) break;
        shown.push_back(needed > rows ? Cut(*line, rows * columns) : *line);
        rows -= std::min(needed, rows);
    }
    std::reverse(shown.begin(), shown.end());
    return shown;
}

} // namespace

std::vector<std::string> ScreenLines(const ScreenParts& parts, int consoleRows,
                                     std::optional<platform::TerminalSize> size) {
    std::vector<std::string> full = FullFrame(parts, consoleRows);
    if (!size) return full;
    const int columns = std::max(size->columns, 1);
    // The last line break leaves the cursor on a row of its own.
    const int budget = std::max(size->rows - 1, 1);
    if (RowsOf(full, columns) <= budget) return full;

    std::vector<std::string> bottom{parts.buttons};
    if (static_cast<int>(parts.buttons.size()) > columns) {
        bottom.clear();
        for (const std::string& caption : parts.narrowButtons)
            bottom.push_back(Cut(caption, columns));
    }
    int left = budget - RowsOf(bottom, columns);
    // Each of these stays only while a console row is left beside it.
    const std::string rule = Cut(parts.rule, columns);
    const std::string url = Cut(parts.url, columns);
    const std::string header = Cut(parts.header, columns);
    const bool lowerRule = left >= 3;
    left -= lowerRule ? 1 : 0;
    const bool page = !url.empty() && left >= 2;
    left -= page ? 1 : 0;
    const bool top = left >= 3;
    left -= top ? 2 : 0;

    std::vector<std::string> lines;
    if (top) lines = {header, rule};
    const std::vector<std::string> newest = NewestLines(parts.console, left, columns);
    lines.insert(lines.end(), newest.begin(), newest.end());
    if (lowerRule) lines.push_back(rule);
    if (page) lines.push_back(url);
    lines.insert(lines.end(), bottom.begin(), bottom.end());
    return lines;
}

} // namespace qv::ui
