#include "platform/FileVersion.h"

namespace qv::platform {

namespace {

constexpr uint16_t kDosMagic = 0x5A4D;    // "MZ"
constexpr uint32_t kPeSignature = 0x4550; // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kVersionResourceType = 16; // RT_VERSION
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kFixedInfoSize = 52;
constexpr char16_t kVersionKey[] = u"VS_VERSION_INFO";

// Every read goes through here, so a hostile offset only ever gives "no".
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    std::optional<uint16_t> U16(uint64_t offset) const {
        if (!Has(offset, 2)) return std::nullopt;
        return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
    }
    std::optional<uint32_t> U32(uint64_t offset) const {
        if (!Has(offset, 4)) return std::nullopt;
        return static_cast<uint32_t>(data_[offset]) |
               static_cast<uint32_t>(data_[offset + 1]) << 8 |
               static_cast<uint32_t>(data_[offset + 2]) << 16 |
               static_cast<uint32_t>(data_[offset + 3]) << 24;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class PeImage {
public:
    explicit PeImage(Bytes bytes) : bytes_(bytes) {}

    bool ReadHeaders() {
        if (bytes_.U16(0) != kDosMagic) return false;
        const auto peOffset = bytes_.U32(0x3C);
        if (!peOffset || bytes_.U32(*peOffset) != kPeSignature) return false;
        const uint64_t coff = static_cast<uint64_t>(*peOffset) + 4;
        const auto sectionCount = bytes_.U16(coff + 2);
        const auto optionalSize = bytes_.U16(coff + 16);
        const uint64_t optional = coff + 20;
        const auto magic = bytes_.U16(optional);
        if (!sectionCount || !optionalSize || !magic) return false;
        uint64_t directories = 0, countAt = 0;
        if (*magic == kPe32Magic) {
            directories = optional + 96;
            countAt = optional + 92;
        } else if (*magic == kPe32PlusMagic) {
            directories = optional + 112;
            countAt = optional + 108;
        } else {
            return false;
        }
        const auto directoryCount = bytes_.U32(countAt);
        if (!directoryCount || *directoryCount <= kResourceDirectoryIndex) return false;
        const auto resourceRva = bytes_.U32(directories + 8 * kResourceDirectoryIndex);
        if (!resourceRva || *resourceRva == 0) return false;
        resourceRva_ = *resourceRva;
        sectionTable_ = optional + *optionalSize;
        sectionCount_ = *sectionCount;
        return true;
    }

    // The file offset of an address of the loaded image.
    std::optional<uint64_t> FileOffset(uint32_t rva, uint32_t length) const {
        for (uint32_t i = 0; i < sectionCount_; ++i) {
            const auto section = SectionAt(sectionTable_ + i * kSectionHeaderSize);
            if (!section) return std::nullopt;
            const uint64_t start = section->virtualAddress;
            if (rva < start || rva - start >= section->rawSize) continue;
            const uint64_t offset = section->rawOffset + (rva - start);
            if (rva - start + static_cast<uint64_t>(length) > section->rawSize ||
                !bytes_.Has(offset, length))
                return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }

    uint32_t ResourceRva() const { return resourceRva_; }
    const Bytes& Raw() const { return bytes_; }

private:
    std::optional<Section> SectionAt(uint64_t at) const {
        const auto virtualSize = bytes_.U32(at + 8), virtualAddress = bytes_.U32(at + 12);
        const auto rawSize = bytes_.U32(at + 16), rawOffset = bytes_.U32(at + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return std::nullopt;
        return Section{*virtualAddress, *virtualSize, *rawSize, *rawOffset};
    }

    Bytes bytes_;
    uint32_t resourceRva_ = 0;
    uint64_t sectionTable_ = 0;
    uint32_t sectionCount_ = 0;
};

// One step down the resource tree: the entry with the id, or the first entry
// when any id will do. Returns the entry's target, relative to the tree's base.
std::optional<uint32_t> DirectoryEntry(const PeImage& image, uint64_t base, uint32_t directory,
                                       std::optional<uint32_t> id) {
    const Bytes& bytes = image.Raw();
    const auto named = bytes.U16(base + directory + 12);
    const auto numbered = bytes.U16(base + directory + 14);
    if (!named || !numbered) return std::nullopt;
    const uint32_t count = static_cast<uint32_t>(*named) + *numbered;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = base + directory + 16 + 8ull * i;
        const auto name = bytes.U32(entry);
        const auto target = bytes.U32(entry + 4);
        if (!name || !target) return std::nullopt;
        if (!id || (i >= *named && *name == *id)) return *target;
    }
    return std::nullopt;
}

std::optional<FileVersionNumbers> FixedInfo(const Bytes& bytes, uint64_t block, uint32_t size) {
    const auto length = bytes.U16(block);
    const auto valueLength = bytes.U16(block + 2);
    if (!length || !valueLength || *length > size || *valueLength < kFixedInfoSize)
        return std::nullopt;
    uint64_t at = block + 6;
    for (const char16_t expected : kVersionKey) { // the key's closing NUL included
        if (bytes.U16(at) != static_cast<uint16_t>(expected)) return std::nullopt;
        at += 2;
    }
    at = block + ((at - block + 3) & ~uint64_t{3});
    if (at + kFixedInfoSize > block + *length || bytes.U32(at) != kFixedInfoSignature)
        return std::nullopt;
    const auto ms = bytes.U32(at + 8), ls = bytes.U32(at + 12);
    if (!ms || !ls) return std::nullopt;
    return FileVersionNumbers{*ms, *ls};
}

} // namespace

std::optional<FileVersionNumbers> PeFileVersion(const uint8_t* data, size_t size) {
    PeImage image(Bytes(data, size));
    if (!image.ReadHeaders()) return std::nullopt;
    // The directory tables are small; a span of 16 bytes proves the root is there.
    const auto base = image.FileOffset(image.ResourceRva(), 16);
    if (!base) return std::nullopt;
    // type -> name -> language; the last step leads to a data entry.
    std::optional<uint32_t> target = DirectoryEntry(image, *base, 0, kVersionResourceType);
    for (int level = 0; level < 2; ++level) {
        if (!target || (*target & kSubdirectoryFlag) == 0) return std::nullopt;
        target = DirectoryEntry(image, *base, *target & ~kSubdirectoryFlag, std::nullopt);
    }
    if (!target || (*target & kSubdirectoryFlag) != 0) return std::nullopt;
    const Bytes& bytes = image.Raw();
    const auto dataRva = bytes.U32(*base + *target);
    const auto dataSize = bytes.U32(*base + *target + 4);
    if (!dataRva || !dataSize) return std::nullopt;
    const auto block = image.FileOffset(*dataRva, *dataSize);
    if (!block) return std::nullopt;
    return FixedInfo(bytes, *block, *dataSize);
}

std::optional<FileVersionNumbers> VersionBlockNumbers(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return std::nullopt;
    return FixedInfo(Bytes(data, size), 0, static_cast<uint32_t>(size));
}

} // namespace qv::platform
