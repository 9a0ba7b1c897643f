#pragma once
// The size of the terminal the terminal front end draws on.

#include <optional>

namespace qv::platform {

struct TerminalSize {
    int rows = 0;
    int columns = 0;
};

// The terminal on standard output, or nothing when it is not one.
std::optional<TerminalSize> OutputTerminalSize();

} // namespace qv::platform
