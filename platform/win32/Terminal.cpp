#include "platform/Terminal.h"

#include "platform/win32/WinApi.h"

namespace qv::platform {

std::optional<TerminalSize> OutputTerminalSize() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return std::nullopt;
    return TerminalSize{info.srWindow.Bottom - info.srWindow.Top + 1,
                        info.srWindow.Right - info.srWindow.Left + 1};
}

} // namespace qv::platform
