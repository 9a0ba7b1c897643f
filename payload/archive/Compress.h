#pragma once
// TCompress: the archive component. It writes and reads the multi-file
// archive (header, member records, names, coded data), calls the host back
// through its events, and runs every member through RunCodec on its own codec
// state object.

#include "payload/codec/CodecEngine.h"
#include "payload/codec/Codecs.h"
#include "payload/codec/CompressErrors.h"
#include "payload/codec/Stream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv::payload {

namespace archive {
struct MemberRecord;
}

enum TCProcessMode : uint8_t { pmCompress = 0, pmExpand = 1 };

// The host may rename (by assigning), skip ("") or stop ("*") at each file.
using TFilenameCheckEvent = std::function<void(std::string& filepath, TCProcessMode mode)>;
using TCompressEvent = std::function<void(TStream* dest, TStream* source, std::string& CompressID,
                                          int32_t& Outputsize, int32_t& checksum)>;
using TExpandEvent =
    std::function<void(TStream* dest, TStream* source, int32_t Sourcesize, int32_t Destsize,
                       const std::string& CompressID, int32_t& checksum)>;
using TRecognizeEvent = std::function<void(const std::string& CompressID, bool& recognized)>;

// A member's data handed by the host instead of read from the file at the
// path: a stream made while it is read (it need only seek back to its
// start), with the record's date and attributes. No stream: the file.
struct TMemberSource {
    std::unique_ptr<TStream> Stream;
    uint32_t FileDate = 0;
    uint16_t Attributes = 0;
};
using TOpenMemberEvent = std::function<TMemberSource(const std::string& path)>;
// Where an expanded member goes: a stream the host owns and keeps (the fuzz
// target keeps the members in memory). Not attached: a new file at the
// destination, with the record's date and attributes.
using TCreateMemberEvent = std::function<TStream*(const std::string& dest)>;

// What the member listing knows of each member.
struct TCompressedFileInfo {
    uint32_t FileDate = 0;
    uint16_t Attributes = 0;
    int32_t OriginalSize = 0;
    int32_t CompressedSize = 0;
    uint8_t Method = 0;
    uint32_t Checksum = 0;
    int32_t Position = 0; // of the member record's first byte
    bool Locked = false;
};

// One entry of a member listing: the stored name and its record.
struct TMemberEntry {
    std::string Name;
    TCompressedFileInfo Info;
};
using TMemberList = std::vector<TMemberEntry>;
using TStringList = std::vector<std::string>;

// The archive header as read (or made for an empty region).
struct TArchiveHeader {
    std::string CompressID;
    int32_t TotalSize = 0;
    uint8_t ArchiveType = 1;
    uint8_t MethodIndex = 0;
};

// How far a listing reached. End is the first byte after the last member
// listed; Complete when the members' sizes reached TotalSize; MissingBytes
// is what the data of a member cut off by the end of the region lacks.
struct TArchiveExtent {
    int64_t End = 0;
    bool Complete = true;
    int64_t MissingBytes = 0;
    std::string CutMember; // the member whose data the end cuts, when MissingBytes > 0
    int64_t ListedSize = 0;
    int32_t TotalSize = 0;
};

// One member's outcome of TestMembers: Error is empty when the data is good.
struct TMemberTestResult {
    std::string Name;
    TCompressedFileInfo Info;
    std::string Error;
};

class TCompress {
public:
    TCompress() = default;
    TCompress(const TCompress&) = delete;
    TCompress& operator=(const TCompress&) = delete;

    TCompressEvent OnCompress;
    TExpandEvent OnExpand;
    TFilenameCheckEvent OnCheckFile;
    TRecognizeEvent OnRecognize;
    TShowProgressEvent OnShowProgress;
    TOpenMemberEvent OnOpenMember;
    TCreateMemberEvent OnCreateMember;
    bool MakeDirectories = false;
    bool ExceptionOnFileError = false;
    int32_t Key = 0;
    bool CheckSpaceBeforeExpand = false;

    const std::string& TargetPath() const { return targetPath_; }
    // A non-empty folder gets a trailing "\" unless it already ends in a separator.
    void SetTargetPath(const std::string& folder);

    // The ratio of the last member coded; nothing in the applet reads it.
    int32_t LastRatio() const { return lastRatio_; }

    // Writes an archive of the listed files at dest's position; the list is
    // left holding the stored names of the files written.
    void WriteArchive(TStream* dest, TStringList& files, uint8_t method);
    // Appends one entry per member record; the caller owns the list. Stops,
    // as expansion does, once the sizes reach TotalSize (bytes after that
    // are not the archive's) or at a member that cannot be read whole.
    TArchiveExtent ListMembers(TStream* source, TMemberList& list);
    // Expands the members (all, or those named in selection) below TargetPath;
    // a given selection is replaced by the full paths of the files written.
    void ExtractMembers(TStream* source, TStringList* selection = nullptr);
    TArchiveHeader ReadArchiveHeader(TStream* source);
    // Index 0..4 of the identifier, 3 when the host accepts an unknown one.
    uint8_t RecognizeMethod(const std::string& id);

    // Expands every member that ExtractMembers would reach into nowhere and
    // checks it; damaged member data is reported per member, damaged headers
    // and records raise as in ExtractMembers; a member cut off by the end of
    // the region ends the walk as in ListMembers.
    std::vector<TMemberTestResult> TestMembers(TStream* source);

    // Codes sourceSize bytes from the source's position into dest. Returns the
    // bytes written when compressing; checksum receives the sum of the
    // uncompressed bytes (without the key).
    int32_t RunCodec(TStream* dest, TStream* source, int32_t sourceSize, int32_t destSize,
                     uint8_t method, uint32_t& checksum, uint8_t direction, bool keyFlag);

private:
    void WriteMember(TStream* dest, TStream* source, const std::string& storedName,
                     uint32_t fileDate, uint16_t attributes, uint8_t method,
                     std::string& compressId);
    int32_t CodeMemberData(TStream* dest, TStream* source, int32_t size, uint8_t method,
                           std::string& compressId, uint32_t& checksum);
    void ExpandMemberData(TStream* dest, TStream* source, const archive::MemberRecord& record,
                          const std::string& compressId);
    void ExtractOneMember(TStream* source, const archive::MemberRecord& record,
                          std::unique_ptr<TFileStream> file, const std::string& dest,
                          const std::string& compressId, TStringList& written);
    // The walk of ExtractMembers; written grows with each member written whole.
    void ExtractSelected(TStream* source, const TStringList* selection, TStringList& written);
    void NoteRatio(int32_t originalSize, int32_t compressedSize);

    std::string targetPath_;
    int32_t lastRatio_ = 100;
    TCompThreadSafety state_;
};

} // namespace qv::payload
