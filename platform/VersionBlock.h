#pragma once
// A version block laid out as in a Windows version resource (the header,
// the key "VS_VERSION_INFO" and the fixed file information), built at
// compile time. The Linux applet carries one in an ELF section of its own,
// so its version is read the way the Windows applet's resource is.

#include <cstdint>

// The ELF section that carries the block (a literal: the section attribute
// needs one).
#define QV_VERSION_SECTION ".qvversion"

namespace qv::platform {

struct TVersionBlock {
    uint16_t length;
    uint16_t valueLength;
    uint16_t type;
    char16_t key[16]; // "VS_VERSION_INFO" and its closing NUL
    uint16_t padding; // the fixed information starts on a 4-byte boundary
    uint32_t fixed[13];
};
static_assert(sizeof(TVersionBlock) == 92);

constexpr TVersionBlock MakeVersionBlock(uint16_t major, uint16_t minor, uint16_t release,
                                         uint16_t build) {
    constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
    constexpr uint32_t kFixedInfoLayout = 0x00010000u;
    constexpr uint32_t kApplicationType = 1; // VFT_APP
    const uint32_t ms = static_cast<uint32_t>(major) << 16 | minor;
    const uint32_t ls = static_cast<uint32_t>(release) << 16 | build;
    return TVersionBlock{sizeof(TVersionBlock),
                         sizeof(TVersionBlock::fixed),
                         0,
                         u"VS_VERSION_INFO",
                         0,
                         {kFixedInfoSignature, kFixedInfoLayout, ms, ls, ms, ls, 0, 0, 0,
                          kApplicationType, 0, 0, 0}};
}

} // namespace qv::platform
