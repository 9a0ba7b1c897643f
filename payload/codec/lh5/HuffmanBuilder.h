#pragma once
// Length-limited canonical Huffman codes for the lh5 encoder's three
// alphabets. The construction is deterministic down to its tie rules, so the
// same frequencies always give the same stored bits.

#include "Lh5Format.h"

#include <cstdint>

namespace qv::payload::lh5 {

// Work space for one construction; sized for the largest alphabet.
struct HuffmanScratch {
    uint16_t left[2 * NC - 1];
    uint16_t right[2 * NC - 1];
    uint16_t heap[NC + 1];
    uint16_t leafOrder[NC];
};

// Builds code lengths (at most 16) and canonical codes, left-aligned in 16
// bits, for symbols 0..n-1. freq needs room for 2n - 1 entries: the inner
// nodes' frequencies are stored behind the symbols'. Returns the root: a
// node number >= n, or, when fewer than two symbols occur, that symbol (0
// when none does) with every length 0 and its code 0.
int BuildHuffmanCode(int n, uint16_t* freq, uint8_t* lengths, uint16_t* codes,
                     HuffmanScratch& scratch);

} // namespace qv::payload::lh5
