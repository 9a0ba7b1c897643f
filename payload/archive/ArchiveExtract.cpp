// TCompress: expanding members to files (or to nowhere, when testing), with
// the key and checksum rules, the free-space test and folder creation.
#include "ArchiveFormat.h"
#include "ArchivePaths.h"
#include "Compress.h"
#include "platform/Files.h"

#include <algorithm>
#include <memory>

namespace qv::payload {

namespace {
constexpr int32_t kUnlimitedSpace = 0x7FFFFFFF;
constexpr float kUnlimitedSpaceAsFloat = 2147483647.0f;
constexpr const char* kCannotCreateFolder = "Cannot create folder ";
constexpr const char* kOutsideTarget = "Refusing to write outside the target folder: ";
constexpr const char* kCurrentFolder = ".";

bool Selected(const TStringList* selection, const std::string& name) {
    if (!selection) return true;
    return std::any_of(selection->begin(), selection->end(),
                       [&](const std::string& entry) { return paths::EqualNoCase(entry, name); });
}

void SkipData(TStream* source, const archive::MemberRecord& record) {
    source->Seek(record.DataEnd(), SeekOrigin::Begin);
}

// The folder whose volume the free-space query asks about: the drive's root
// for "X:..." paths on Windows, else the nearest existing folder of the
// destination as it is spelt (a POSIX path keeps its case).
std::string SpaceQueryFolder(const std::string& destination) {
#ifdef _WIN32
    if (destination.size() > 1 && destination[1] == ':')
        return paths::UpperCase(destination.substr(0, 2)) + paths::kArchiveSeparator;
#endif
    std::string folder = paths::FolderOf(destination);
    while (!folder.empty() && !platform::FolderExists(folder)) {
        folder.pop_back();
        folder = paths::FolderOf(folder);
    }
    return folder.empty() ? kCurrentFolder : folder;
}

// Creates the folder and its missing parents, outermost first. Stops at
// what remains of two characters or fewer (a drive or the root).
void ForceFolders(std::string folder) {
    std::vector<std::string> missing;
    for (;;) {
        if (!folder.empty() && paths::IsSeparator(folder.back())) folder.pop_back();
        if (folder.size() <= 2 || platform::FolderExists(folder)) break;
        missing.push_back(folder);
        folder = paths::FolderOf(folder);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!platform::CreateFolder(*it)) throw EFileStreamError(kCannotCreateFolder + *it);
}

// The free bytes figure goes through single precision like the original, so
// large volumes read as "unlimited" and a failed query (-1) as no space.
int32_t AvailableSpaceFor(const std::string& destination) {
    const float freeBytes = static_cast<float>(platform::FreeBytes(SpaceQueryFolder(destination)));
    int32_t available = kUnlimitedSpace;
    if (freeBytes < kUnlimitedSpaceAsFloat) available = static_cast<int32_t>(freeBytes);
    if (available < kUnlimitedSpace && platform::FileExists(destination)) {
        const int64_t sum = int64_t{available} + platform::FileSize(destination);
        available = sum >= kUnlimitedSpace ? kUnlimitedSpace : static_cast<int32_t>(sum);
    }
    return available;
}
} // namespace

void TCompress::ExpandMemberData(TStream* dest, TStream* source,
                                 const archive::MemberRecord& record,
                                 const std::string& compressId) {
    const archive::RecordFields& f = record.Fields;
    if (f.Locked > 0 && Key == 0) throw EInvalidKey();
    const int64_t destStart = dest->Position();
    uint32_t computed = 0;
    if (f.Method == kMethodCUS) {
        int32_t customChecksum = 0;
        if (OnExpand)
            OnExpand(dest, source, f.CompressedSize, f.OriginalSize, compressId, customChecksum);
        computed = static_cast<uint32_t>(customChecksum);
    } else {
        try {
            RunCodec(dest, source, f.CompressedSize, f.OriginalSize, f.Method, computed,
                     kDirectionExpand, f.Locked == archive::kLockedMark);
        } catch (const ELZHBadDecodeTable&) {
            // With the wrong key the code tables decode as garbage.
            if (f.Locked > 0) throw EInvalidKey();
            throw;
        }
    }
    NoteRatio(f.OriginalSize, f.CompressedSize);
    // A sum cannot see zeros added or lost (a damaged run count does that),
    // so data of the wrong length fails like a wrong checksum.
    const bool rightLength = dest->Position() - destStart == f.OriginalSize;
    if (rightLength && (computed == f.Checksum || (f.Checksum == 0 && f.Method == kMethodNON)))
        return;
    if (f.Locked > 0) {
        if (rightLength && static_cast<uint32_t>(Key) + computed == f.Checksum) return;
        throw EInvalidKey();
    }
    throw EBadChecksum();
}

void TCompress::ExtractOneMember(TStream* source, const archive::MemberRecord& record,
                                 std::unique_ptr<TFileStream> file, const std::string& dest,
                                 const std::string& compressId, TStringList& written) {
    source->Seek(record.DataStart, SeekOrigin::Begin);
    try {
        ExpandMemberData(file.get(), source, record, compressId);
        file->Flush();
    } catch (const EInvalidKey&) {
        file.reset();
        platform::DeleteFile(dest);
        throw;
    } catch (...) {
        // Any other failure leaves the partial file, closed, with its attributes.
        file.reset();
        platform::SetFileAttributes(dest, record.Fields.Attributes);
        throw;
    }
    // The date goes on after closing: a later flush would stamp the time anew.
    file.reset();
    platform::SetFileDosDateTime(dest, record.Fields.FileDate);
    written.push_back(dest);
    platform::SetFileAttributes(dest, record.Fields.Attributes);
}

void TCompress::ExtractMembers(TStream* source, TStringList* selection) {
    TStringList written;
    try {
        ExtractSelected(source, selection, written);
    } catch (...) {
        // The selection tells the caller what was written whole before the
        // failure, as it does after a walk that completes.
        if (selection) *selection = written;
        throw;
    }
    if (selection) *selection = written;
}

void TCompress::ExtractSelected(TStream* source, const TStringList* selection,
                                TStringList& written) {
    const TArchiveHeader header = ReadArchiveHeader(source);
    const int64_t end = source->Size();
    int64_t processed = 0; // wide, so hostile sizes cannot wrap it
    archive::MemberRecord record;
    // Empty members after the last byte TotalSize counts are members too.
    while (archive::ReadNextMember(source, end, processed, header.TotalSize, record)) {
        const int32_t originalSize = record.Fields.OriginalSize;
        if (!Selected(selection, record.Name)) {
            SkipData(source, record);
            processed += originalSize;
            continue;
        }
        const bool rooted = paths::IsRooted(record.Name);
        const std::string name = platform::NativePath(record.Name);
        std::string dest = rooted ? name : targetPath_ + name;
        // A relative name must not climb out of TargetPath: such a member is
        // treated like a file that cannot be created.
        if (!rooted && paths::LeavesFolder(record.Name)) {
            if (ExceptionOnFileError) throw EFileStreamError(kOutsideTarget + dest);
            SkipData(source, record);
            continue;
        }
        if (OnCheckFile) {
            OnCheckFile(dest, pmExpand);
            if (dest.empty()) {
                SkipData(source, record);
                continue;
            }
            if (dest == "*") break;
        }
        const int32_t available =
            CheckSpaceBeforeExpand ? AvailableSpaceFor(dest) : kUnlimitedSpace;
        if (available < originalSize) throw EInsufficientDiskSpace(dest);
        if (OnCreateMember) {
            TStream* kept = OnCreateMember(dest);
            source->Seek(record.DataStart, SeekOrigin::Begin);
            ExpandMemberData(kept, source, record, header.CompressID);
            written.push_back(dest);
            processed += originalSize;
            SkipData(source, record);
            continue;
        }
        if (MakeDirectories) ForceFolders(paths::FolderOf(dest));
        std::unique_ptr<TFileStream> file;
        try {
            // The member replaces what has its name: a new file, never the old
            // one written over, so a program that has the old one loaded keeps
            // it whole and a link there is not followed.
            platform::RemoveEntry(dest);
            file = std::make_unique<TFileStream>(dest, TFileStream::Mode::CreateExclusive);
        } catch (const EFileStreamError&) {
            if (ExceptionOnFileError) throw;
            SkipData(source, record);
            continue;
        }
        ExtractOneMember(source, record, std::move(file), dest, header.CompressID, written);
        processed += originalSize;
        SkipData(source, record);
    }
}

std::vector<TMemberTestResult> TCompress::TestMembers(TStream* source) {
    const TArchiveHeader header = ReadArchiveHeader(source);
    const int64_t end = source->Size();
    std::vector<TMemberTestResult> results;
    int64_t processed = 0;
    archive::MemberRecord record;
    bool cut = false;
    while (processed < header.TotalSize ? archive::ReadWholeRecord(source, end, record, cut)
                                        : archive::ReadEmptyMember(source, end, record)) {
        TMemberTestResult result{record.Name, archive::InfoOf(record), {}};
        TNullStream nowhere;
        source->Seek(record.DataStart, SeekOrigin::Begin);
        // Only the member data's own failures are reported per member.
        try {
            ExpandMemberData(&nowhere, source, record, header.CompressID);
        } catch (const EBadChecksum& e) {
            result.Error = e.what();
        } catch (const EInvalidKey& e) {
            result.Error = e.what();
        } catch (const ELZHBadDecodeTable& e) {
            result.Error = e.what();
        }
        results.push_back(std::move(result));
        processed += record.Fields.OriginalSize;
        SkipData(source, record);
    }
    return results;
}

} // namespace qv::payload
