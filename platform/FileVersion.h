#pragma once
// The file-version port: the two 32-bit halves of a file's version from its
// version resource. Windows asks the system's version API; Linux reads the
// resource out of the file itself when it is a PE file, so the applet can
// report the versions of the Windows libraries it carries.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::platform {

struct FileVersionNumbers {
    uint32_t mostSignificant = 0;  // major << 16 | minor
    uint32_t leastSignificant = 0; // release << 16 | build
};

// The file version of the named file; nothing when it has no version
// information. A bare name is looked up as a library would be (Windows) or
// in the current folder (Linux).
std::optional<FileVersionNumbers> ReadFileVersion(const std::string& path);

// The fixed file version inside the bytes of a PE image (an .exe or .dll as
// stored on disk); nothing when the bytes are no PE image or carry no
// well-formed version resource. Never reads outside the bytes.
std::optional<FileVersionNumbers> PeFileVersion(const uint8_t* bytes, size_t size);

// The fixed file version of a version block as a version resource holds it
// (VS_VERSION_INFO), given on its own: what the Linux applet keeps in its
// kVersionSection, so both builds read one version the same way.
std::optional<FileVersionNumbers> VersionBlockNumbers(const uint8_t* bytes, size_t size);

} // namespace qv::platform
