#pragma once
// One buffer of "LZH" items as the parse hands them to the coder: a symbol
// (0..255 literal, 256..313 match length), and behind a match symbol its
// window position.

#include <cstdint>

namespace qv::payload::lzh {

struct TLzhItems {
    static constexpr int kCapacity = 16384;
    // A match takes two entries; a buffer with less room left is full.
    static constexpr int kFullAt = kCapacity - 1;

    bool Full() const { return size >= kFullAt; }

    uint16_t entries[kCapacity];
    int size = 0;
};

} // namespace qv::payload::lzh
