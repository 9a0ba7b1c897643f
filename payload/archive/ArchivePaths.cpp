#include "ArchivePaths.h"

#include <algorithm>
#include <cctype>

namespace qv::payload::paths {

namespace {
char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool SameCharacter(char a, char b) {
    return (IsSeparator(a) && IsSeparator(b)) || Upper(a) == Upper(b);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), SameCharacter);
}

// Windows drops trailing dots and spaces from a path segment, so ". ." or
// "... " can name the parent folder there; count such segments as "..".
bool IsParentSegment(const std::string& segment) {
    const bool onlyDotsAndSpaces =
        std::all_of(segment.begin(), segment.end(), [](char c) { return c == '.' || c == ' '; });
    return onlyDotsAndSpaces && std::count(segment.begin(), segment.end(), '.') >= 2;
}

bool IsCurrentSegment(const std::string& segment) {
    return segment.empty() || (segment.find_first_not_of(". ") == std::string::npos);
}
} // namespace

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

std::string WithTrailingSeparator(const std::string& folder) {
    if (folder.empty() || IsSeparator(folder.back())) return folder;
    return folder + kFolderSeparator;
}

std::string StoredNameOf(const std::string& path, const std::string& targetPath) {
    std::string name = path;
    if (!targetPath.empty() && StartsWithNoCase(path, targetPath))
        name = path.substr(targetPath.size(), kLongestStoredName);
    std::replace(name.begin(), name.end(), '/', kArchiveSeparator);
    return name;
}

std::string WithoutDrivePrefix(const std::string& name) {
    if (name.size() > 2 && name[1] == ':') return name.substr(2);
    return name;
}

bool IsRooted(const std::string& storedName) {
    return !storedName.empty() && storedName[0] == kArchiveSeparator;
}

bool LeavesFolder(const std::string& storedName) {
    // The file layer stops at a NUL, which could cut "..x" down to "..".
    if (storedName.find('\0') != std::string::npos) return true;
    int depth = 0;
    size_t start = 0;
    while (start <= storedName.size()) {
        size_t end = start;
        while (end < storedName.size() && !IsSeparator(storedName[end]))
            ++end;
        const std::string segment = storedName.substr(start, end - start);
        if (IsParentSegment(segment)) {
            if (--depth < 0) return true;
        } else if (!IsCurrentSegment(segment)) {
            ++depth;
        }
        start = end + 1;
    }
    return false;
}

std::string FolderOf(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1])) return path.substr(0, i);
    return {};
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), Upper);
    return text;
}

} // namespace qv::payload::paths
