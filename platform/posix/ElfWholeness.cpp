#include "platform/posix/ElfWholeness.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <vector>

namespace qv::platform {

namespace {

bool Within(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

template <typename Header> bool ReadAt(std::ifstream& in, uint64_t offset, Header& header) {
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(&header), sizeof header);
    return static_cast<size_t>(in.gcount()) == sizeof header;
}

template <typename Ehdr, typename Phdr> bool ImageIsWhole(std::ifstream& in, uint64_t size) {
    Ehdr file{};
    if (!ReadAt(in, 0, file)) return false;
    const uint64_t programBytes = uint64_t{file.e_phnum} * file.e_phentsize;
    if (!Within(file.e_phoff, programBytes, size)) return false;
    if (file.e_shoff != 0 && !Within(file.e_shoff, uint64_t{file.e_shnum} * file.e_shentsize, size))
        return false;
    if (file.e_phnum > 0 && file.e_phentsize < sizeof(Phdr)) return false;
    for (uint64_t i = 0; i < file.e_phnum; ++i) {
        Phdr segment{};
        if (!ReadAt(in, file.e_phoff + i * file.e_phentsize, segment)) return false;
        if (segment.p_type != PT_NULL && !Within(segment.p_offset, segment.p_filesz, size))
            return false;
    }
    return true;
}

} // namespace

bool ElfImageIsWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return true; // the loader reports what is missing
    const auto size = static_cast<uint64_t>(in.tellg());
    unsigned char ident[EI_NIDENT] = {};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(ident), sizeof ident);
    if (in.gcount() < SELFMAG || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return true;
    if (static_cast<size_t>(in.gcount()) < sizeof ident) return false;
    if (ident[EI_CLASS] == ELFCLASS64) return ImageIsWhole<Elf64_Ehdr, Elf64_Phdr>(in, size);
    if (ident[EI_CLASS] == ELFCLASS32) return ImageIsWhole<Elf32_Ehdr, Elf32_Phdr>(in, size);
    return false;
}

} // namespace qv::platform
