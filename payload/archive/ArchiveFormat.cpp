#include "ArchiveFormat.h"

#include "payload/codec/CompressErrors.h"

#include <algorithm>
#include <limits>

namespace qv::payload::archive {

namespace {
void Put16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}
uint32_t Get32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}
int32_t GetSigned32(const uint8_t* at) {
    return static_cast<int32_t>(Get32(at));
}

// Header offsets.
constexpr size_t kIdAt = 5, kTotalSizeAt = 8, kTypeAt = 12, kReservedAt = 13, kHeaderLockedAt = 17;
// Record offsets.
constexpr size_t kNameLengthAt = 0, kDateAt = 2, kAttributesAt = 6, kOriginalAt = 8,
                 kCompressedAt = 12, kMethodAt = 16, kChecksumAt = 17, kRecordLockedAt = 21;
} // namespace

TCompressedFileInfo InfoOf(const MemberRecord& record) {
    const RecordFields& f = record.Fields;
    TCompressedFileInfo info;
    info.FileDate = f.FileDate;
    info.Attributes = f.Attributes;
    info.OriginalSize = f.OriginalSize;
    info.CompressedSize = f.CompressedSize;
    info.Method = f.Method;
    info.Checksum = f.Checksum;
    info.Position = static_cast<int32_t>(record.Position);
    info.Locked = f.Locked > 0;
    return info;
}

HeaderBytes EncodeHeader(const HeaderFields& header) {
    HeaderBytes bytes{};
    std::copy(kSignature.begin(), kSignature.end(), bytes.begin());
    for (size_t i = 0; i < kCompressIdSize && i < header.CompressID.size(); ++i)
        bytes[kIdAt + i] = static_cast<uint8_t>(header.CompressID[i]);
    Put32(&bytes[kTotalSizeAt], static_cast<uint32_t>(header.TotalSize));
    bytes[kTypeAt] = header.ArchiveType;
    Put32(&bytes[kReservedAt], 0);
    Put32(&bytes[kHeaderLockedAt], static_cast<uint32_t>(header.Locked));
    return bytes;
}

HeaderFields DecodeHeader(const HeaderBytes& bytes) {
    HeaderFields header;
    header.CompressID.assign(reinterpret_cast<const char*>(&bytes[kIdAt]), kCompressIdSize);
    header.TotalSize = GetSigned32(&bytes[kTotalSizeAt]);
    header.ArchiveType = bytes[kTypeAt];
    header.Locked = GetSigned32(&bytes[kHeaderLockedAt]);
    return header;
}

bool HasSignature(const uint8_t* bytes) {
    return std::equal(kSignature.begin(), kSignature.end(), bytes);
}

RecordBytes EncodeRecord(const RecordFields& record) {
    RecordBytes bytes{};
    Put16(&bytes[kNameLengthAt], static_cast<uint16_t>(record.NameLength));
    Put32(&bytes[kDateAt], record.FileDate);
    Put16(&bytes[kAttributesAt], record.Attributes);
    Put32(&bytes[kOriginalAt], static_cast<uint32_t>(record.OriginalSize));
    Put32(&bytes[kCompressedAt], static_cast<uint32_t>(record.CompressedSize));
    bytes[kMethodAt] = record.Method;
    Put32(&bytes[kChecksumAt], record.Checksum);
    Put32(&bytes[kRecordLockedAt], static_cast<uint32_t>(record.Locked));
    return bytes;
}

RecordFields DecodeRecord(const RecordBytes& bytes) {
    RecordFields record;
    record.NameLength = static_cast<int16_t>(Get16(&bytes[kNameLengthAt]));
    record.FileDate = Get32(&bytes[kDateAt]);
    record.Attributes = Get16(&bytes[kAttributesAt]);
    record.OriginalSize = GetSigned32(&bytes[kOriginalAt]);
    record.CompressedSize = GetSigned32(&bytes[kCompressedAt]);
    record.Method = bytes[kMethodAt];
    record.Checksum = Get32(&bytes[kChecksumAt]);
    record.Locked = GetSigned32(&bytes[kRecordLockedAt]);
    return record;
}

bool ReadMemberRecord(TStream* source, int64_t streamEnd, MemberRecord& record) {
    record.Position = source->Position();
    RecordBytes bytes{};
    if (source->Read(bytes.data(), kRecordSize) < kRecordSize) return false;
    record.Fields = DecodeRecord(bytes);
    const RecordFields& f = record.Fields;
    // NameLength is 16-bit, so the name's allocation is bounded by 32767.
    if (f.NameLength < 0) throw EInvalidHeader();
    record.Name.assign(static_cast<size_t>(f.NameLength), '\0');
    if (source->Read(record.Name.data(), f.NameLength) < f.NameLength) return false;
    record.DataStart = record.Position + kRecordSize + f.NameLength;
    if (f.OriginalSize < 0 || f.CompressedSize < 0 || record.DataEnd() > streamEnd)
        throw EInvalidHeader();
    return true;
}

bool ReadWholeRecord(TStream* source, int64_t streamEnd, MemberRecord& record, bool& cut) {
    cut = false;
    if (!ReadMemberRecord(source, std::numeric_limits<int64_t>::max(), record)) return false;
    cut = record.DataEnd() > streamEnd;
    return !cut;
}

bool ReadEmptyMember(TStream* source, int64_t streamEnd, MemberRecord& record) {
    const int64_t at = source->Position();
    bool read = false;
    bool cut = false;
    try {
        read = ReadWholeRecord(source, streamEnd, record, cut);
    } catch (const EInvalidHeader&) {
        // Bytes after the archive need not look like a record at all.
    }
    const RecordFields& f = record.Fields;
    if (read && !record.Name.empty() && f.OriginalSize == 0 && f.CompressedSize == 0) return true;
    source->Seek(at, SeekOrigin::Begin);
    return false;
}

bool ReadNextMember(TStream* source, int64_t streamEnd, int64_t processed, int32_t totalSize,
                    MemberRecord& record) {
    if (processed >= totalSize) return ReadEmptyMember(source, streamEnd, record);
    return ReadMemberRecord(source, streamEnd, record);
}

} // namespace qv::payload::archive
