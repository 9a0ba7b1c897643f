#pragma once
// Whether an ELF image holds every byte its headers promise. The loader maps
// segments beyond the end of a cut file and dies of SIGBUS on the first
// touch; a cut library must be refused before it is opened.

#include <string>

namespace qv::platform {

// False for an ELF file whose program or section headers, or a segment's
// file bytes, reach past its end; true for a whole one and for files that
// are no ELF at all (the loader refuses those itself).
bool ElfImageIsWhole(const std::string& path);

} // namespace qv::platform
