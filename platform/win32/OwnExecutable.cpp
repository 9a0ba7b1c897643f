#include "platform/OwnExecutable.h"
#include "platform/win32/WinApi.h"

#include <vector>

namespace qv::platform {

std::string OwnExecutablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2); // cut off: try a larger buffer
    }
}

uint32_t RegisterNamedMessage(const std::string& name) {
    return RegisterWindowMessageA(name.c_str());
}

} // namespace qv::platform
