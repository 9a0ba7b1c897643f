#pragma once
// The version block of an ELF file: the contents of its QV_VERSION_SECTION.

#include "platform/FileVersion.h"

#include <istream>
#include <optional>

namespace qv::platform {

// True when the stream starts with the ELF magic; leaves the position anywhere.
bool IsElfFile(std::istream& in);
// The version of the section's block; nothing for an ELF file without one,
// a 32-bit or big-endian file, or damaged section headers.
std::optional<FileVersionNumbers> ElfFileVersion(std::istream& in);

} // namespace qv::platform
