#include "SignatureTable.h"

#include <array>

namespace qv::payload {

namespace {
constexpr int64_t kNewHeaderPointerAt = 0x3C;
constexpr uint32_t kPeMagic = 0x00004550; // "PE\0\0"
constexpr int64_t kCoffHeaderSize = 20;
constexpr uint16_t kPe32 = 0x10B;
constexpr uint16_t kPe32Plus = 0x20B;
constexpr int64_t kDirectoryCountOffset32 = 92;
constexpr int64_t kDirectoryCountOffset64 = 108;
constexpr uint32_t kSecurityDirectory = 4;
constexpr int64_t kDirectoryEntrySize = 8;
constexpr int64_t kLargestHeaderOffset = 1 << 20;
constexpr int64_t kCertificateAlignment = 8;
constexpr int32_t kCertificateHeaderSize = 8;
constexpr uint16_t kCertificateRevision = 0x0200;
constexpr uint16_t kCertificatePkcsSignedData = 2;

bool ReadAt(TStream* file, int64_t at, void* into, int32_t count) {
    if (file->Seek(at, SeekOrigin::Begin) != at) return false;
    return file->Read(into, count) == count;
}

uint32_t Get32(const uint8_t* b) {
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint16_t Get16(const uint8_t* b) {
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

int64_t AlignedToEight(int64_t n) {
    return (n + kCertificateAlignment - 1) / kCertificateAlignment * kCertificateAlignment;
}

// The table is a run of certificate entries, each an 8-byte header (its
// length, revision 2.0, PKCS#7 signed data) and its data, padded to eight
// bytes, that ends exactly where the directory says. Bytes that merely sit
// where an entry points (the archive's own, say) are no signature.
bool IsCertificateTable(TStream* file, int64_t offset, int64_t length) {
    if (offset % kCertificateAlignment != 0 || length < kCertificateHeaderSize) return false;
    const int64_t end = offset + length;
    for (int64_t at = offset; at < end;) {
        uint8_t header[kCertificateHeaderSize] = {};
        if (end - at < kCertificateHeaderSize || !ReadAt(file, at, header, sizeof header))
            return false;
        const int64_t entryLength = Get32(header);
        if (entryLength <= kCertificateHeaderSize || Get16(header + 4) != kCertificateRevision ||
            Get16(header + 6) != kCertificatePkcsSignedData || at + entryLength > end)
            return false;
        at += AlignedToEight(entryLength);
    }
    return true;
}
} // namespace

TSignatureTable FindSignatureTable(TStream* file, int64_t notBefore) {
    TSignatureTable none;
    const int64_t size = file->Size();
    uint8_t b[8] = {};
    if (!ReadAt(file, 0, b, 2) || b[0] != 'M' || b[1] != 'Z') return none;
    if (!ReadAt(file, kNewHeaderPointerAt, b, 4)) return none;
    const int64_t pe = Get32(b);
    if (pe > kLargestHeaderOffset) return none;
    if (!ReadAt(file, pe, b, 4) || Get32(b) != kPeMagic) return none;
    const int64_t optional = pe + 4 + kCoffHeaderSize;
    if (!ReadAt(file, optional, b, 2)) return none;
    const uint16_t magic = static_cast<uint16_t>(b[0] | (b[1] << 8));
    if (magic != kPe32 && magic != kPe32Plus) return none;
    const int64_t countAt =
        optional + (magic == kPe32 ? kDirectoryCountOffset32 : kDirectoryCountOffset64);
    if (!ReadAt(file, countAt, b, 4) || Get32(b) <= kSecurityDirectory) return none;
    TSignatureTable table;
    table.DirectoryEntryAt = countAt + 4 + kSecurityDirectory * kDirectoryEntrySize;
    if (!ReadAt(file, table.DirectoryEntryAt, b, 8)) return none;
    const int64_t offset = Get32(b);
    const int64_t length = Get32(b + 4);
    // The table is the file's last part; one pointing elsewhere, or into what
    // must precede it, is ignored.
    if (length > 0 && offset > table.DirectoryEntryAt && offset >= notBefore &&
        offset + length == size && IsCertificateTable(file, offset, length)) {
        table.Offset = offset;
        table.Size = length;
    }
    return table;
}

int64_t ArchiveRegionEnd(TStream* file, const TSignatureTable& table) {
    return table.Present() ? table.Offset : file->Size();
}

void ClearSignatureEntry(TStream* copy, const TSignatureTable& table) {
    if (!table.Present()) return;
    const std::array<uint8_t, kDirectoryEntrySize> zeros{};
    copy->Seek(table.DirectoryEntryAt, SeekOrigin::Begin);
    copy->Write(zeros.data(), static_cast<int32_t>(zeros.size()));
    copy->Seek(0, SeekOrigin::End);
}

} // namespace qv::payload
