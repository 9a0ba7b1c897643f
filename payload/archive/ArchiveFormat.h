#pragma once
// The byte layout of the archive: the 21-byte header and the 25-byte member
// record, little-endian, and the reading of one member record with the
// checks that keep a hostile record from steering the reader.

#include "Compress.h"
#include "payload/codec/Stream.h"

#include <array>
#include <cstdint>
#include <string>

namespace qv::payload::archive {

inline constexpr int32_t kHeaderSize = 21;
inline constexpr int32_t kRecordSize = 25;
// A region shorter than a header and one record lists nothing.
inline constexpr int32_t kSmallestListing = kHeaderSize + kRecordSize;
inline constexpr std::array<uint8_t, 5> kSignature = {'K', 'W', 'R', 'X', 0x1A};
inline constexpr size_t kCompressIdSize = 3;
inline constexpr uint8_t kArchiveTypeMulti = 1; // caMulti
inline constexpr int32_t kLockedMark = 2;
inline constexpr int32_t kLargestSize = 0x7FFFFFFF;

using HeaderBytes = std::array<uint8_t, kHeaderSize>;
using RecordBytes = std::array<uint8_t, kRecordSize>;

struct HeaderFields {
    std::string CompressID; // three 8-bit characters
    int32_t TotalSize = 0;
    uint8_t ArchiveType = kArchiveTypeMulti;
    int32_t Locked = 0;
};

struct RecordFields {
    int16_t NameLength = 0;
    uint32_t FileDate = 0;
    uint16_t Attributes = 0;
    int32_t OriginalSize = 0;
    int32_t CompressedSize = 0;
    uint8_t Method = 0;
    uint32_t Checksum = 0;
    int32_t Locked = 0;
};

// A record as read: its fields, the stored name and where its parts lie.
struct MemberRecord {
    RecordFields Fields;
    std::string Name;
    int64_t Position = 0;  // the record's first byte
    int64_t DataStart = 0; // the first byte of the coded data
    int64_t DataEnd() const { return DataStart + Fields.CompressedSize; }
};

TCompressedFileInfo InfoOf(const MemberRecord& record);

HeaderBytes EncodeHeader(const HeaderFields& header);
// The fields of a header whose signature has already been checked.
HeaderFields DecodeHeader(const HeaderBytes& bytes);
bool HasSignature(const uint8_t* bytes);

RecordBytes EncodeRecord(const RecordFields& record);
RecordFields DecodeRecord(const RecordBytes& bytes);

// Reads the record at the stream's position. False at the end of the archive
// (fewer than 25 bytes, or fewer name bytes than NameLength). A record with
// a negative NameLength, OriginalSize or CompressedSize, or whose data would
// run past streamEnd, raises EInvalidHeader: reading on would seek backwards
// or past the end, so the listing or expansion ends there.
bool ReadMemberRecord(TStream* source, int64_t streamEnd, MemberRecord& record);

// As ReadMemberRecord, but a record whose data runs past streamEnd ends the
// archive as well (cut is then set), so a listing keeps the members before it.
bool ReadWholeRecord(TStream* source, int64_t streamEnd, MemberRecord& record, bool& cut);

// Once the members reach TotalSize, only empty members (the record of an
// empty file, with its name) still belong to the archive; anything else,
// zero bytes included, is bytes that follow it, and the stream is left where
// they begin.
bool ReadEmptyMember(TStream* source, int64_t streamEnd, MemberRecord& record);

// The next member of a walk that has reached `processed` of `totalSize`.
bool ReadNextMember(TStream* source, int64_t streamEnd, int64_t processed, int32_t totalSize,
                    MemberRecord& record);

} // namespace qv::payload::archive
