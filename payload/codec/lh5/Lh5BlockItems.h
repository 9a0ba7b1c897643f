#pragma once
// One block's worth of collected lh5 items with their symbol and
// distance-class counts, as the scan hands them to the block coder.

#include "Lh5Format.h"

#include <bit>
#include <cstdint>

namespace qv::payload::lh5 {

struct Lh5BlockItems {
    static constexpr int kBufferSize = 16384;

    // The number of significant bits of a distance value.
    static int DistanceClass(int distance) {
        return std::bit_width(static_cast<unsigned>(distance));
    }

    // Eight items behind each flag byte; a set flag (0x80 first) marks a
    // match stored as symbol - 256 and the distance value high byte first.
    uint8_t buffer[kBufferSize] = {};
    int size = 0;
    // The Huffman construction stores its inner nodes behind the symbols.
    uint16_t symbolFreq[2 * NC - 1] = {};
    uint16_t distanceFreq[2 * NP - 1] = {};
};

} // namespace qv::payload::lh5
