#include "platform/Files.h"
#include "platform/win32/WinApi.h"

namespace qv::platform {

namespace {

bool ReadFileData(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

bool IsFolderWord(DWORD word) {
    return word != INVALID_FILE_ATTRIBUTES && (word & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::string NativePath(const std::string& path) {
    return path;
}

bool FileExists(const std::string& path) {
    const DWORD word = GetFileAttributesA(path.c_str());
    return word != INVALID_FILE_ATTRIBUTES && !IsFolderWord(word);
}

bool FolderExists(const std::string& path) {
    return IsFolderWord(GetFileAttributesA(path.c_str()));
}

bool DeleteFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

// A link's own attributes are the ones read and cleared here: the file it
// points to keeps its read-only bit.
bool RemoveEntry(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileA(path.c_str()) != 0;
}

bool MoveFile(const std::string& from, const std::string& to, bool replace) {
    const DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!ReadFileData(path, data) || IsFolderWord(data.dwFileAttributes)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int32_t FileAttributes(const std::string& path) {
    const DWORD word = GetFileAttributesA(path.c_str());
    return word == INVALID_FILE_ATTRIBUTES ? -1 : static_cast<int32_t>(word & 0xFFFF);
}

bool SetFileAttributes(const std::string& path, uint16_t attributes) {
    return SetFileAttributesA(path.c_str(), attributes) != 0;
}

uint32_t FileDosDateTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    if (!ReadFileData(path, data) || !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<uint32_t>(date) << 16) | time;
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
    FILETIME local{};
    FILETIME universal{};
    if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
        !LocalFileTimeToFileTime(&local, &universal))
        return false;
    const HANDLE file =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = SetFileTime(file, nullptr, nullptr, &universal) != 0;
    CloseHandle(file);
    return ok;
}

int64_t FreeBytes(const std::string& path) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return -1;
    return available.QuadPart > static_cast<ULONGLONG>(INT64_MAX)
               ? INT64_MAX
               : static_cast<int64_t>(available.QuadPart);
}

bool CreateFolder(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    return FolderExists(path);
}

} // namespace qv::platform
