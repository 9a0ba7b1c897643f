#include "RecorderConfig.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace qv::engine {

std::string EnvironmentValue(const char* name) {
#ifdef _WIN32
    // The process block, not a C runtime copy, so changes made by the host
    // program through any runtime are seen here.
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
#else
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
#endif
}

} // namespace qv::engine
