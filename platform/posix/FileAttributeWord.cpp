#include "platform/posix/FileAttributeWord.h"
#include "platform/Files.h"

#include <cerrno>
#include <sys/xattr.h>

namespace qv::platform {

namespace {

// Bits that come from the mode, never from the stored byte.
constexpr uint16_t kModeBits = kAttrReadOnly | kAttrDirectory;

bool ReadStoredBits(const std::string& nativePath, uint8_t& bits) {
    uint8_t value = 0;
    const ssize_t got = ::getxattr(nativePath.c_str(), kAttributeWordXattr, &value, 1);
    if (got != 1) return false;
    bits = static_cast<uint8_t>(value & ~kModeBits);
    return true;
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

int32_t ReadAttributeWord(const std::string& nativePath, const struct stat& info) {
    uint8_t stored = 0;
    const bool isFolder = S_ISDIR(info.st_mode);
    int32_t word = 0;
    if (ReadStoredBits(nativePath, stored))
        word = stored;
    else if (!isFolder)
        word = kAttrArchive;
    if ((info.st_mode & S_IWUSR) == 0) word |= kAttrReadOnly;
    if (isFolder) word |= kAttrDirectory;
    return word;
}

bool WriteAttributeWord(const std::string& nativePath, const struct stat& info,
                        uint16_t attributes) {
    const uint8_t bits = static_cast<uint8_t>(attributes & 0xFF & ~kModeBits);
    const bool writable = (attributes & kAttrReadOnly) == 0;
    // Without the write bit an ordinary user may not change the stored byte,
    // so the byte goes first when the file becomes read-only, last otherwise.
    if (writable) return SetOwnerWritable(nativePath, info, true) && StoreBits(nativePath, bits);
    return StoreBits(nativePath, bits) && SetOwnerWritable(nativePath, info, false);
}

} // namespace qv::platform
