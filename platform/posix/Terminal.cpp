#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace qv::platform {

std::optional<TerminalSize> OutputTerminalSize() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0)
        return std::nullopt;
    return TerminalSize{size.ws_row, size.ws_col};
}

} // namespace qv::platform
