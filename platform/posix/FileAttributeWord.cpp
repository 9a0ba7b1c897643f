#include "platform/posix/FileAttributeWord.h"
#include "platform/Files.h"

#include <cerrno>
#include <sys/xattr.h>

namespace qv::platform {

namespace {

// Bits that come from the mode, never from the stored byte.
constexpr uint16_t kModeBits = kAttrReadOnly | kAttrDirectory;

bool ReadStoredBits(const std::string& nativePath, uint8_t& bits) {
    const ssize_t got = ::getxattr(nativePath.c_str(), kAttributeWordXattr, &bits, 1);
    return got == 1;
}

// File systems without user attributes can still hold the word that every
// file reports there: archive alone (or nothing).
bool StoreBits(const std::string& nativePath, uint8_t bits) {
    if (::setxattr(nativePath.c_str(), kAttributeWordXattr, &bits, 1, 0) == 0) return true;
    const bool unsupported = errno == ENOTSUP || errno == EOPNOTSUPP;
    return unsupported && (bits & ~kAttrArchive) == 0;
}

bool SetOwnerWritable(const std::string& nativePath, const struct stat& info, bool writable) {
    const mode_t mode = info.st_mode & 07777;
    const mode_t wanted = writable ? (mode | S_IWUSR) : (mode & ~static_cast<mode_t>(S_IWUSR));
    return wanted == mode || ::chmod(nativePath.c_str(), wanted) == 0;
}

} // namespace

// A folder keeps even its read-only bit in the stored byte: on Windows that
// bit does not stop files being made in it, and a mode without write would.
int32_t ReadAttributeWord(const std::string& nativePath, const struct stat& info) {
    uint8_t stored = 0;
    const bool hasStored = ReadStoredBits(nativePath, stored);
    if (S_ISDIR(info.st_mode)) return (hasStored ? (stored & ~kAttrDirectory) : 0) | kAttrDirectory;
    int32_t word = hasStored ? (stored & ~kModeBits) : kAttrArchive;
    if ((info.st_mode & S_IWUSR) == 0) word |= kAttrReadOnly;
    return word;
}

bool WriteAttributeWord(const std::string& nativePath, const struct stat& info,
                        uint16_t attributes) {
    if (S_ISDIR(info.st_mode))
        return StoreBits(nativePath, static_cast<uint8_t>(attributes & 0xFF & ~kAttrDirectory));
    const uint8_t bits = static_cast<uint8_t>(attributes & 0xFF & ~kModeBits);
    const bool writable = (attributes & kAttrReadOnly) == 0;
    // Without the write bit an ordinary user may not change the stored byte,
    // so the byte goes first when the file becomes read-only, last otherwise.
    if (writable) return SetOwnerWritable(nativePath, info, true) && StoreBits(nativePath, bits);
    return StoreBits(nativePath, bits) && SetOwnerWritable(nativePath, info, false);
}

} // namespace qv::platform
