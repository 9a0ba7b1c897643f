#include "platform/FileVersion.h"
#include "platform/win32/WinApi.h"

#include <vector>

namespace qv::platform {

std::optional<FileVersionNumbers> ReadFileVersion(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return FileVersionNumbers{fixed->dwFileVersionMS, fixed->dwFileVersionLS};
}

} // namespace qv::platform
