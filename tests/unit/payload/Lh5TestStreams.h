#pragma once
// Hand-made lh5 bit streams for the decoder tests: a bit writer, block headers
// from chosen code lengths, and random complete codes.

#include "tests/unit/TestSupport.h"

#include <cstdint>
#include <random>
#include <vector>

namespace qv::test::lh5 {

// Most significant bit first, as the format reads them.
class BitWriter {
public:
    void Put(uint32_t value, int bits);
    Bytes Finish() const; // pads the last byte with zeros

private:
    Bytes bytes_;
    int used_ = 0; // bits used in the last byte
};

// One code of a block: either lengths per symbol (0 = absent) or a single
// symbol sent with count 0, which costs no bits per use.
struct Code {
    std::vector<uint8_t> lengths;
    int single = -1;
    bool IsSingle() const { return single >= 0; }
};

struct Block {
    uint16_t countField = 0; // symbols in the block; 0 stands for 65536
    Code symbols;            // 510 lengths, or single
    Code distances;          // up to 14 lengths (sent as many as given), or single
    // The code of the code-length symbols; left empty, a balanced one is made
    // over the symbols the lengths need.
    Code lengthCode;
};

void WriteBlockHeader(BitWriter& w, const Block& block);
void WriteSymbol(BitWriter& w, const Code& code, int symbol);
// A distance value 0..8191 (0 copies from the byte just written).
void WriteDistance(BitWriter& w, const Code& code, uint32_t distanceValue);
void WriteLiteral(BitWriter& w, const Block& block, uint8_t byte);
void WriteMatch(BitWriter& w, const Block& block, int length, uint32_t distanceValue);

// The code-length symbols (0..18) that sending these symbol lengths uses.
std::vector<int> LengthSymbolsUsed(const std::vector<uint8_t>& symbolLengths);

// Canonical codes of the lengths, left-aligned in their length.
std::vector<uint16_t> CanonicalCodes(const std::vector<uint8_t>& lengths);

// A random complete code over the chosen symbols, no code longer than
// maxLength; deep trees come out often, so long codes get exercised.
std::vector<uint8_t> RandomLengths(std::mt19937& rng, const std::vector<int>& used,
                                   int alphabetSize, int maxLength);

// A random valid stream of several blocks decoding to at least size bytes.
Bytes RandomStream(std::mt19937& rng, int32_t size);

} // namespace qv::test::lh5
