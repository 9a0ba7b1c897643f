#pragma once
// The fixed code of the "LZH" match positions: the upper six bits of the
// 12-bit position in a canonical prefix code (3 to 8 bits, shorter for near
// matches), then the lower six bits plainly.

#include <array>
#include <cstdint>

namespace qv::payload::lzh {

inline constexpr int kPositionLowBits = 6;
inline constexpr int kPositionGroups = 64;
inline constexpr int kPositionPeekBits = 8;

// Code lengths of the upper six bits u.
constexpr uint8_t PositionCodeLength(int u) {
    if (u < 1) return 3;
    if (u < 4) return 4;
    if (u < 12) return 5;
    if (u < 24) return 6;
    if (u < 48) return 7;
    return 8;
}

struct TPositionTables {
    // Encoder: the code of u, right-aligned, and its length.
    std::array<uint8_t, kPositionGroups> code{};
    std::array<uint8_t, kPositionGroups> length{};
    // Decoder: for each value of the next eight bits, u and its code length.
    std::array<uint8_t, 256> upperOf{};
    std::array<uint8_t, 256> lengthOf{};
};

constexpr TPositionTables MakePositionTables() {
    TPositionTables t;
    unsigned next = 0; // canonical: each code follows the previous one
    int previousLength = PositionCodeLength(0);
    for (int u = 0; u < kPositionGroups; ++u) {
        const int len = PositionCodeLength(u);
        next <<= (len - previousLength);
        previousLength = len;
        t.code[u] = static_cast<uint8_t>(next);
        t.length[u] = static_cast<uint8_t>(len);
        const unsigned first = next << (kPositionPeekBits - len);
        const unsigned count = 1u << (kPositionPeekBits - len);
        for (unsigned v = first; v < first + count; ++v) {
            t.upperOf[v] = static_cast<uint8_t>(u);
            t.lengthOf[v] = static_cast<uint8_t>(len);
        }
        ++next;
    }
    return t;
}

inline constexpr TPositionTables kPositionTables = MakePositionTables();

} // namespace qv::payload::lzh
