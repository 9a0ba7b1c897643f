#include "OpenedArchive.h"

#include "ArchiveSupport.h"
#include "payload/RegionStream.h"
#include "payload/archive/ArchiveFormat.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace qv::qvpack {

namespace {
constexpr const char* kNoPayload =
    "no archive: the archive region ends at offset %" PRId64 ", where the payload would begin";
constexpr const char* kOffsetPastEnd =
    "no archive: offset %" PRId64 " lies past the end of the archive region (%" PRId64 " bytes)";
constexpr const char* kTooShort =
    "no archive: %s at offset %" PRId64 ", fewer than an archive header's %d";
constexpr const char* kNoMembers = "the archive holds no members";
constexpr const char* kTrailing = "%s follow the archive";
constexpr const char* kCutData = "the archive ends %s before its last member's data";
constexpr const char* kCutFirst = "the archive ends %s before the end of its first member's data";
constexpr const char* kCutEarly = "the archive ends early: its members hold %" PRId64
                                  " of the %" PRId32 " bytes its header names";
// The signing tool pads the file to a multiple of eight before its table.
constexpr int64_t kSignatureAlignment = 8;

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Bytes between the archive's end and the region's that a signing tool's
// alignment does not explain; they are zeros when it wrote them.
int64_t TrailingBytes(OpenedArchive& archive, const payload::TArchiveExtent& extent) {
    const int64_t trailing = archive.stream->Size() - extent.End;
    if (!archive.signature.Present() || trailing <= 0 || trailing >= kSignatureAlignment)
        return trailing;
    uint8_t pad[kSignatureAlignment] = {};
    archive.stream->Seek(extent.End, payload::SeekOrigin::Begin);
    const int32_t n = archive.stream->Read(pad, static_cast<int32_t>(trailing));
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    const bool zeros = std::all_of(pad, pad + n, [](uint8_t b) { return b == 0; });
    return n == trailing && zeros ? 0 : trailing;
}
} // namespace

std::string ByteCount(int64_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

OpenedArchive OpenArchive(const std::string& path, const ArgList& a) {
    OpenedArchive archive;
    int64_t size = 0;
    archive.stream = OpenSizedInput(path, size);
    archive.offset = LocateArchive(archive.stream.get(), path, a.Value("--offset"));
    // A table that would start inside the bare applet is no signature.
    archive.signature = payload::FindSignatureTable(archive.stream.get(), archive.offset);
    const int64_t end = payload::ArchiveRegionEnd(archive.stream.get(), archive.signature);
    archive.stream = std::make_unique<payload::TRegionStream>(std::move(archive.stream), end);
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    return archive;
}

std::string MissingArchiveFault(OpenedArchive& archive) {
    const int64_t region = archive.stream->Size();
    const int64_t left = region - archive.offset;
    if (left < 0) return Format(kOffsetPastEnd, archive.offset, region);
    // A signing tool pads a bare applet to eight bytes before its table.
    const bool onlyPadding = archive.signature.Present() && left < kSignatureAlignment;
    if (left == 0 || onlyPadding) return Format(kNoPayload, archive.offset);
    if (left < payload::archive::kHeaderSize)
        return Format(kTooShort, ByteCount(left).c_str(), archive.offset,
                      payload::archive::kHeaderSize);
    return {};
}

std::string ExtentFault(OpenedArchive& archive, const payload::TArchiveExtent& extent,
                        size_t listed) {
    if (extent.MissingBytes > 0)
        return Format(listed > 0 ? kCutData : kCutFirst, ByteCount(extent.MissingBytes).c_str());
    if (!extent.Complete) return Format(kCutEarly, extent.ListedSize, extent.TotalSize);
    if (listed == 0) return kNoMembers;
    const int64_t trailing = TrailingBytes(archive, extent);
    if (trailing > 0) return Format(kTrailing, ByteCount(trailing).c_str());
    return {};
}

} // namespace qv::qvpack
