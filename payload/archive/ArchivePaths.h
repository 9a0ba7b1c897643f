#pragma once
// Path rules of the archive: stored names, destinations, folders. Archive
// names use "\" between folders; "/" is accepted as a separator too, so
// paths of either system work.

#include <string>

namespace qv::payload::paths {

inline constexpr char kArchiveSeparator = '\\';
// A folder of the host system: where "\" is an ordinary character of a file
// name, a folder ends in "/".
#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif
// At most this many characters of a path remain after TargetPath.
inline constexpr size_t kLongestStoredName = 9999;

bool IsSeparator(char c);
bool EqualNoCase(const std::string& a, const std::string& b);
// The folder with the host's separator added unless it is empty or ends in
// a separator.
std::string WithTrailingSeparator(const std::string& folder);
// The path without targetPath at its front (compared without regard to
// case), its separators turned into "\"; the drive prefix is kept.
std::string StoredNameOf(const std::string& path, const std::string& targetPath);
// Drops "X:" from a name longer than two characters.
std::string WithoutDrivePrefix(const std::string& name);
// A name from the root of the current drive.
bool IsRooted(const std::string& storedName);
// True when the name's ".." segments climb above the folder it is taken in,
// so writing it would leave the target folder.
bool LeavesFolder(const std::string& storedName);
// The folder part of a path including its last separator ("" when none).
std::string FolderOf(const std::string& path);
std::string UpperCase(std::string text);

} // namespace qv::payload::paths
