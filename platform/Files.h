#pragma once
// The file port: everything the applet and the archive component ask of the
// file system. Paths are byte strings as the archive stores them; on Windows
// both "\" and "/" separate folders, on Linux the implementation maps "\" to
// "/" so stored names work unchanged.

#include <cstdint>
#include <string>

namespace qv::platform {

// DOS attribute bits of the attribute word.
inline constexpr uint16_t kAttrReadOnly = 0x01;
inline constexpr uint16_t kAttrHidden = 0x02;
inline constexpr uint16_t kAttrSystem = 0x04;
inline constexpr uint16_t kAttrDirectory = 0x10;
inline constexpr uint16_t kAttrArchive = 0x20;
// Windows reports this alone for a file without any other attribute.
inline constexpr uint16_t kAttrNormal = 0x80;

// An archive member's name (folders split by "\") in the native form (a no-op
// on Windows). Paths of the system itself are native already and are used
// as they are: "\" is an ordinary character in a POSIX file name.
std::string NativePath(const std::string& path);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool DeleteFile(const std::string& path);
// Removes the name itself, whatever its attribute word: a link goes, what it
// points to stays; a folder is never removed. For the run's own files, which
// are replaced by a new file rather than written over in place.
bool RemoveEntry(const std::string& path);
// Moves or renames; replaces an existing destination when replace is set.
bool MoveFile(const std::string& from, const std::string& to, bool replace);
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);
// Size in bytes, or -1 when the file cannot be reached.
int64_t FileSize(const std::string& path);

// The attribute word, or -1 when the file cannot be reached.
int32_t FileAttributes(const std::string& path);
bool SetFileAttributes(const std::string& path, uint16_t attributes);

// Last-write time as an MS-DOS date and time (local time; date in the high
// 16 bits), or 0 when the file cannot be reached.
uint32_t FileDosDateTime(const std::string& path);
bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime);

// Free bytes available on the volume that holds path (a root such as "C:\"
// on Windows; any path on Linux), or -1 when the query fails.
int64_t FreeBytes(const std::string& path);

// Creates one folder (its parent must exist). True when it exists afterwards.
bool CreateFolder(const std::string& path);

// Pure conversions between a broken-down local time and the DOS format.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
uint32_t DosDateTimeFromLocal(const LocalTime& t);
LocalTime LocalFromDosDateTime(uint32_t dosDateTime);

} // namespace qv::platform
