#include "platform/FileVersion.h"
#include "platform/Files.h"
#include "platform/posix/ElfVersionSection.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace qv::platform {

namespace {
// Larger files are no libraries or programs the applet asks about.
constexpr int64_t kLargestImage = 256ll * 1024 * 1024;
} // namespace

std::optional<FileVersionNumbers> ReadFileVersion(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // This system's own programs (the applet) carry their version block in a
    // section; only the headers are read, whatever payload follows.
    if (IsElfFile(in)) return ElfFileVersion(in);
    const int64_t size = FileSize(path);
    if (size <= 0 || size > kLargestImage) return std::nullopt;
    in.clear();
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return PeFileVersion(bytes.data(), bytes.size());
}

} // namespace qv::platform
