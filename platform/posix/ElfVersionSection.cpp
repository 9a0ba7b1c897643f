#include "platform/posix/ElfVersionSection.h"
#include "platform/VersionBlock.h"

#include <cstring>
#include <string>
#include <vector>

namespace qv::platform {

namespace {
constexpr char kElfMagic[] = {0x7F, 'E', 'L', 'F'};
constexpr unsigned char kClass64 = 2, kLittleEndian = 1;
constexpr size_t kHeaderSize = 64, kSectionHeaderSize = 64;
constexpr size_t kSectionTableAt = 0x28, kSectionCountAt = 0x3C, kNamesIndexAt = 0x3E;
constexpr size_t kNameAt = 0, kOffsetAt = 0x18, kSizeAt = 0x20;
// Bounds that no real file needs: damaged headers cannot make us read much.
constexpr uint16_t kMostSections = 4096;
constexpr uint64_t kLargestNames = 1 << 20;
constexpr uint64_t kLargestBlock = 4096;

uint64_t Little(const unsigned char* at, size_t width) {
    uint64_t v = 0;
    for (size_t i = width; i > 0; --i)
        v = v << 8 | at[i - 1];
    return v;
}

bool ReadAt(std::istream& in, uint64_t at, void* into, size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(static_cast<char*>(into), static_cast<std::streamsize>(count));
    return static_cast<size_t>(in.gcount()) == count;
}

struct SectionHeader {
    uint32_t name = 0;
    uint64_t offset = 0, size = 0;
};

bool SectionAt(std::istream& in, uint64_t table, uint16_t index, SectionHeader& header) {
    unsigned char b[kSectionHeaderSize];
    if (!ReadAt(in, table + uint64_t{index} * kSectionHeaderSize, b, sizeof b)) return false;
    header.name = static_cast<uint32_t>(Little(b + kNameAt, 4));
    header.offset = Little(b + kOffsetAt, 8);
    header.size = Little(b + kSizeAt, 8);
    return true;
}
} // namespace

bool IsElfFile(std::istream& in) {
    char magic[sizeof kElfMagic] = {};
    return ReadAt(in, 0, magic, sizeof magic) && std::memcmp(magic, kElfMagic, sizeof magic) == 0;
}

std::optional<FileVersionNumbers> ElfFileVersion(std::istream& in) {
    unsigned char h[kHeaderSize];
    if (!ReadAt(in, 0, h, sizeof h) || h[4] != kClass64 || h[5] != kLittleEndian)
        return std::nullopt;
    const uint64_t table = Little(h + kSectionTableAt, 8);
    const auto count = static_cast<uint16_t>(Little(h + kSectionCountAt, 2));
    const auto namesIndex = static_cast<uint16_t>(Little(h + kNamesIndexAt, 2));
    SectionHeader names;
    if (count > kMostSections || namesIndex >= count || !SectionAt(in, table, namesIndex, names) ||
        names.size > kLargestNames)
        return std::nullopt;
    std::vector<char> nameBytes(names.size + 1, '\0');
    if (!ReadAt(in, names.offset, nameBytes.data(), names.size)) return std::nullopt;
    const std::string wanted = QV_VERSION_SECTION;
    for (uint16_t i = 0; i < count; ++i) {
        SectionHeader section;
        if (!SectionAt(in, table, i, section)) return std::nullopt;
        if (section.name >= names.size || wanted != &nameBytes[section.name]) continue;
        if (section.size > kLargestBlock) return std::nullopt;
        std::vector<uint8_t> block(section.size);
        if (!ReadAt(in, section.offset, block.data(), block.size())) return std::nullopt;
        return VersionBlockNumbers(block.data(), block.size());
    }
    return std::nullopt;
}

} // namespace qv::platform
