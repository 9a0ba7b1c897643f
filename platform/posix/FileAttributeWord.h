#pragma once
// The one mapping between a Linux file and the DOS attribute word: read-only
// lives in the owner's write bit, the directory bit in the file type, and the
// remaining bits (hidden, system, archive, ...) in one extended attribute; a
// file without it reports archive. Folders keep read-only in the attribute.

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace qv::platform {

// Name of the extended attribute that keeps the bits the mode cannot hold.
inline constexpr const char* kAttributeWordXattr = "user.qv.attributes";

int32_t ReadAttributeWord(const std::string& nativePath, const struct stat& info);
bool WriteAttributeWord(const std::string& nativePath, const struct stat& info,
                        uint16_t attributes);

} // namespace qv::platform
