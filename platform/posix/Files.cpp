#include "platform/Files.h"
#include "platform/posix/FileAttributeWord.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qv::platform {

namespace {

bool StatPath(const std::string& path, struct stat& info) {
    return ::stat(path.c_str(), &info) == 0;
}

bool IsSameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool CopyContents(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(to, buffer, static_cast<size_t>(got))) return false;
    }
}

// A copy carries the source's permissions, date and attribute word along, as
// a copy on Windows does.
void CopyMetadata(int to, const struct stat& source, const std::string& sourcePath,
                  const std::string& targetPath) {
    const int32_t word = FileAttributes(sourcePath);
    // Writable while the attribute word is stored; the word then decides.
    ::fchmod(to, (source.st_mode & 07777) | S_IWUSR);
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(to, times);
    if (word >= 0) SetFileAttributes(targetPath, static_cast<uint16_t>(word));
}

bool CopyAcrossVolumes(const std::string& from, const std::string& to) {
    if (!CopyFile(from, to, false)) return false;
    if (::unlink(from.c_str()) == 0) return true;
    ::unlink(to.c_str());
    return false;
}

// rename() replaces silently; the variant that refuses an existing target
// is not offered by every file system, so fall back to a check first.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// DOS dates cover 1980 to 2107; a time outside is pinned to the nearest end.
LocalTime ClampToDosRange(const struct tm& t) {
    if (t.tm_year + 1900 < 1980) return LocalTime{1980, 1, 1, 0, 0, 0};
    if (t.tm_year + 1900 > 2107) return LocalTime{2107, 12, 31, 23, 59, 58};
    return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

bool IsValidDosTime(const LocalTime& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour < 24 &&
           t.minute < 60 && t.second < 60;
}

} // namespace

std::string NativePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return StatPath(path, info) && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat info {};
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

// Like Windows, a read-only file is not deleted: callers clear the attribute
// first, so both systems behave the same.
bool DeleteFile(const std::string& path) {
    const int32_t word = FileAttributes(path);
    if (word < 0 || (word & (kAttrReadOnly | kAttrDirectory)) != 0) return false;
    return ::unlink(path.c_str()) == 0;
}

bool RemoveEntry(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

bool MoveFile(const std::string& from, const std::string& to, bool replace) {
    const std::string& source = from;
    const std::string& target = to;
    const bool moved = replace ? ::rename(source.c_str(), target.c_str()) == 0
                               : RenameWithoutReplacing(source, target);
    if (moved) return true;
    if (errno != EXDEV || FolderExists(from)) return false;
    if (!replace && FileExists(to)) return false;
    return CopyAcrossVolumes(from, to);
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) return false;
    struct stat sourceInfo {};
    struct stat targetInfo {};
    // Copying a file onto itself would truncate it before reading.
    if (::fstat(source, &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode) ||
        (StatPath(to, targetInfo) && IsSameFile(sourceInfo, targetInfo))) {
        ::close(source);
        return false;
    }
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    const int target = ::open(to.c_str(), flags, 0666);
    if (target < 0) {
        ::close(source);
        return false;
    }
    bool ok = CopyContents(source, target);
    if (ok) CopyMetadata(target, sourceInfo, from, to);
    ok = (::close(target) == 0) && ok;
    ::close(source);
    if (!ok) ::unlink(to.c_str());
    return ok;
}

int64_t FileSize(const std::string& path) {
    struct stat info {};
    if (!StatPath(path, info) || S_ISDIR(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
}

int32_t FileAttributes(const std::string& path) {
    struct stat info {};
    if (!StatPath(path, info)) return -1;
    return ReadAttributeWord(path, info);
}

bool SetFileAttributes(const std::string& path, uint16_t attributes) {
    struct stat info {};
    if (!StatPath(path, info)) return false;
    return WriteAttributeWord(path, info, attributes);
}

uint32_t FileDosDateTime(const std::string& path) {
    struct stat info {};
    if (!StatPath(path, info)) return 0;
    struct tm local {};
    if (::localtime_r(&info.st_mtim.tv_sec, &local) == nullptr) return 0;
    return DosDateTimeFromLocal(ClampToDosRange(local));
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
    const LocalTime t = LocalFromDosDateTime(dosDateTime);
    if (!IsValidDosTime(t)) return false;
    struct tm local {};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    const time_t when = ::mktime(&local);
    if (when == static_cast<time_t>(-1)) return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

int64_t FreeBytes(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return -1;
    const unsigned long long bytes = static_cast<unsigned long long>(info.f_bavail) *
                                     static_cast<unsigned long long>(info.f_frsize);
    return bytes > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX
                                                              : static_cast<int64_t>(bytes);
}

bool CreateFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0777);
    return FolderExists(path);
}

} // namespace qv::platform
