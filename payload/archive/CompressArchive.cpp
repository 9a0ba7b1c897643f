// TCompress: writing an archive, reading its header, listing its members.
#include "ArchiveFormat.h"
#include "ArchivePaths.h"
#include "Compress.h"
#include "platform/Files.h"

#include <memory>

namespace qv::payload {

namespace {
constexpr int32_t kRatioWhenEmpty = 100;
constexpr int32_t kRatioExactUpTo = 100000;
constexpr const char* kFileTooLarge = "File too large for an archive member: ";

// Locked marks what the engine keys: any nonzero key XORs the stored bytes,
// and only a member marked locked gets them un-XORed on expansion, so a
// negative key marks the member too (it would be unreadable otherwise).
int32_t LockedFor(int32_t key) {
    return key != 0 ? archive::kLockedMark : 0;
}

void WriteHeader(TStream* dest, const std::string& compressId, int32_t totalSize, int32_t key) {
    archive::HeaderFields header;
    header.CompressID = compressId;
    header.TotalSize = totalSize;
    header.Locked = LockedFor(key);
    const auto bytes = archive::EncodeHeader(header);
    dest->Write(bytes.data(), archive::kHeaderSize);
}

// The member's file, or nothing when it cannot be opened and errors are
// skipped. A file of 2 GiB or more cannot be a member: its size does not fit
// the record, so it counts as a file that cannot be opened.
std::unique_ptr<TFileStream> OpenMemberFile(const std::string& path, bool raise) {
    try {
        auto file = std::make_unique<TFileStream>(path, TFileStream::Mode::OpenRead);
        if (file->Size() > archive::kLargestSize) throw EFileStreamError(kFileTooLarge + path);
        return file;
    } catch (const EFileStreamError&) {
        if (raise) throw;
        return nullptr;
    }
}

} // namespace

void TCompress::SetTargetPath(const std::string& folder) {
    targetPath_ = paths::WithTrailingSeparator(folder);
}

uint8_t TCompress::RecognizeMethod(const std::string& id) {
    for (size_t i = 0; i < kMethodIds.size(); ++i)
        if (id == kMethodIds[i]) return static_cast<uint8_t>(i);
    if (OnRecognize) {
        bool recognized = false;
        OnRecognize(id, recognized);
        if (recognized) return kMethodCUS;
    }
    throw EUnrecognizedCompressionMethod(id);
}

TArchiveHeader TCompress::ReadArchiveHeader(TStream* source) {
    TArchiveHeader header;
    if (source->Size() - source->Position() < archive::kHeaderSize) return header;
    archive::HeaderBytes bytes{};
    source->Read(bytes.data(), archive::kHeaderSize);
    if (!archive::HasSignature(bytes.data())) throw EInvalidHeader();
    const archive::HeaderFields fields = archive::DecodeHeader(bytes);
    if (fields.ArchiveType != archive::kArchiveTypeMulti) throw EInvalidHeaderArchiveType();
    header.CompressID = fields.CompressID;
    header.TotalSize = fields.TotalSize;
    header.ArchiveType = fields.ArchiveType;
    header.MethodIndex = RecognizeMethod(fields.CompressID);
    return header;
}

namespace {
// The TotalSize of a header at the stream's position, 0 when there is none;
// reads without raising.
int32_t PeekTotalSize(TStream* source) {
    archive::HeaderBytes bytes{};
    if (source->Read(bytes.data(), archive::kHeaderSize) < archive::kHeaderSize) return 0;
    if (!archive::HasSignature(bytes.data())) return 0;
    return archive::DecodeHeader(bytes).TotalSize;
}

} // namespace

TArchiveExtent TCompress::ListMembers(TStream* source, TMemberList& list) {
    const int64_t end = source->Size();
    TArchiveExtent extent;
    extent.End = end;
    if (end - source->Position() < archive::kSmallestListing) {
        // Nothing is listed here, but a header that names members is cut short.
        extent.TotalSize = PeekTotalSize(source);
        extent.Complete = extent.TotalSize <= 0;
        return extent;
    }
    const TArchiveHeader header = ReadArchiveHeader(source);
    extent.TotalSize = header.TotalSize;
    extent.End = source->Position();
    archive::MemberRecord record;
    bool cut = false;
    // Each turn moves at least one record forward, so the walk ends.
    for (;;) {
        const bool reached = extent.ListedSize >= header.TotalSize;
        if (reached ? !archive::ReadEmptyMember(source, end, record)
                    : !archive::ReadWholeRecord(source, end, record, cut))
            break;
        list.push_back({record.Name, archive::InfoOf(record)});
        source->Seek(record.DataEnd(), SeekOrigin::Begin);
        extent.ListedSize += record.Fields.OriginalSize;
        extent.End = record.DataEnd();
    }
    extent.Complete = extent.ListedSize >= header.TotalSize;
    if (cut) {
        extent.MissingBytes = record.DataEnd() - end;
        extent.CutMember = record.Name;
    }
    return extent;
}

void TCompress::WriteArchive(TStream* dest, TStringList& files, uint8_t method) {
    const int64_t archiveStart = dest->Position();
    std::string compressId(kMethodIds.at(method));
    WriteHeader(dest, compressId, 0, Key);
    uint32_t totalSize = 0; // the record's signed field wraps like the original
    size_t index = 0;
    while (index < files.size()) {
        const std::string path = files[index];
        std::string name = paths::StoredNameOf(path, targetPath_);
        if (OnCheckFile) {
            OnCheckFile(name, pmCompress);
            if (name.empty() || name == "*") {
                files.erase(files.begin() + static_cast<std::ptrdiff_t>(index));
                if (name.empty()) continue;
                break;
            }
        }
        name = paths::WithoutDrivePrefix(name);
        TMemberSource source = OnOpenMember ? OnOpenMember(path) : TMemberSource{};
        if (!source.Stream) {
            source.Stream = OpenMemberFile(path, ExceptionOnFileError);
            if (!source.Stream) {
                files.erase(files.begin() + static_cast<std::ptrdiff_t>(index));
                continue;
            }
            source.FileDate = platform::FileDosDateTime(path);
            const int32_t attributes = platform::FileAttributes(path);
            source.Attributes = static_cast<uint16_t>(attributes < 0 ? 0 : attributes);
        }
        files[index] = name;
        totalSize += static_cast<uint32_t>(source.Stream->Size());
        WriteMember(dest, source.Stream.get(), name, source.FileDate, source.Attributes, method,
                    compressId);
        ++index;
    }
    dest->Seek(archiveStart, SeekOrigin::Begin);
    WriteHeader(dest, compressId, static_cast<int32_t>(totalSize), Key);
}

void TCompress::WriteMember(TStream* dest, TStream* source, const std::string& storedName,
                            uint32_t fileDate, uint16_t attributes, uint8_t method,
                            std::string& compressId) {
    const int64_t recordPosition = dest->Position();
    const int64_t sourcePosition = source->Position();
    archive::RecordFields record;
    record.NameLength = static_cast<int16_t>(storedName.size());
    record.FileDate = fileDate;
    record.Attributes = attributes;
    record.OriginalSize = static_cast<int32_t>(source->Size() - sourcePosition);
    record.Method = method;
    record.Locked = LockedFor(Key);
    auto bytes = archive::EncodeRecord(record);
    dest->Write(bytes.data(), archive::kRecordSize);
    dest->Write(storedName.data(), record.NameLength);
    const int64_t afterName = dest->Position();

    uint32_t checksum = 0;
    try {
        record.CompressedSize =
            CodeMemberData(dest, source, record.OriginalSize, method, compressId, checksum);
    } catch (const EUnableToCompress&) {
        dest->Seek(afterName, SeekOrigin::Begin);
        source->Seek(sourcePosition, SeekOrigin::Begin);
        record.CompressedSize =
            CodeMemberData(dest, source, record.OriginalSize, kMethodNON, compressId, checksum);
        record.Method = kMethodNON;
    }
    record.Checksum = checksum + static_cast<uint32_t>(Key);

    const int64_t memberEnd = dest->Position();
    bytes = archive::EncodeRecord(record);
    dest->Seek(recordPosition, SeekOrigin::Begin);
    dest->Write(bytes.data(), archive::kRecordSize);
    dest->Seek(memberEnd, SeekOrigin::Begin);
    NoteRatio(record.OriginalSize, record.CompressedSize);
}

int32_t TCompress::CodeMemberData(TStream* dest, TStream* source, int32_t size, uint8_t method,
                                  std::string& compressId, uint32_t& checksum) {
    if (method != kMethodCUS)
        return RunCodec(dest, source, size, 0, method, checksum, kDirectionCompress, false);
    int32_t outputSize = 0;
    int32_t customChecksum = 0;
    if (OnCompress) OnCompress(dest, source, compressId, outputSize, customChecksum);
    checksum = static_cast<uint32_t>(customChecksum);
    return outputSize;
}

void TCompress::NoteRatio(int32_t originalSize, int32_t compressedSize) {
    if (originalSize <= 0)
        lastRatio_ = kRatioWhenEmpty;
    else if (originalSize > kRatioExactUpTo)
        lastRatio_ = compressedSize / (originalSize / 100);
    else
        lastRatio_ = static_cast<int32_t>(int64_t{compressedSize} * 100 / originalSize);
}

} // namespace qv::payload
