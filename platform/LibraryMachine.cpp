#include "platform/DynamicLibrary.h"

#include <array>
#include <cstdint>
#include <fstream>

namespace qv::platform {

namespace {

// The machine of an image as the PE header names it; ELF machines are mapped
// onto the same values, and machines of neither list get a value of their own.
using Machine = uint32_t;
constexpr Machine kUnknownMachine = 0;
constexpr Machine kPeI386 = 0x014c;
constexpr Machine kPeAmd64 = 0x8664;
constexpr Machine kPeArm64 = 0xaa64;
constexpr Machine kElfOnly = 0x10000;

constexpr uint16_t kElfI386 = 3;
constexpr uint16_t kElfX86_64 = 62;
constexpr uint16_t kElfAarch64 = 183;

constexpr size_t kPeOffsetField = 0x3c;
constexpr size_t kElfMachineField = 18;
constexpr size_t kElfDataField = 5;
constexpr uint8_t kElfLittleEndian = 1;
// The header of a PE image lies within its first pages in practice.
constexpr size_t kHeaderBytes = 4096;

Machine RunningMachine() {
#if defined(__x86_64__) || defined(_M_X64)
    return kPeAmd64;
#elif defined(__i386__) || defined(_M_IX86)
    return kPeI386;
#elif defined(__aarch64__) || defined(_M_ARM64)
    return kPeArm64;
#else
    return kUnknownMachine;
#endif
}

template <size_t N>
uint32_t LittleEndian(const std::array<unsigned char, N>& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = (value << 8) | bytes[at + i];
    return value;
}

Machine ElfMachine(uint16_t elf) {
    switch (elf) {
    case kElfI386:
        return kPeI386;
    case kElfX86_64:
        return kPeAmd64;
    case kElfAarch64:
        return kPeArm64;
    default:
        return kElfOnly | elf;
    }
}

Machine ImageMachine(const std::string& path) {
    std::array<unsigned char, kHeaderBytes> bytes{};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (got >= kElfMachineField + 2 && bytes[0] == 0x7f && bytes[1] == 'E' && bytes[2] == 'L' &&
        bytes[3] == 'F' && bytes[kElfDataField] == kElfLittleEndian)
        return ElfMachine(static_cast<uint16_t>(LittleEndian(bytes, kElfMachineField, 2)));
    if (got < kPeOffsetField + 4 || bytes[0] != 'M' || bytes[1] != 'Z') return kUnknownMachine;
    const size_t pe = LittleEndian(bytes, kPeOffsetField, 4);
    if (pe > got - 6 || bytes[pe] != 'P' || bytes[pe + 1] != 'E' || bytes[pe + 2] != 0 ||
        bytes[pe + 3] != 0)
        return kUnknownMachine;
    return LittleEndian(bytes, pe + 4, 2);
}

} // namespace

bool LibraryBuiltForOtherMachine(const std::string& folder, const std::string& name) {
    const std::string path = folder.empty() ? name : folder + "/" + name;
    const Machine machine = ImageMachine(path);
    return machine != kUnknownMachine && RunningMachine() != kUnknownMachine &&
           machine != RunningMachine();
}

} // namespace qv::platform
