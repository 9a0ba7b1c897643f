#pragma once
// The lh5 encoder's block coder: one block of collected items becomes one
// block of the bit stream with its three code tables.

#include "HuffmanBuilder.h"
#include "Lh5BlockItems.h"
#include "Lh5Format.h"
#include "payload/codec/BitWriter.h"

#include <cstdint>

namespace qv::payload::lh5 {

class Lh5BlockWriter {
public:
    explicit Lh5BlockWriter(TBitWriter& bits) : bits_(bits) {}

    // Codes the items as one block and clears their counts.
    void SendBlock(Lh5BlockItems& items);

private:
    void CountCodeLengthFrequencies();
    void WriteSmallLengths(int n, int countBits, int zeroRunAfter);
    void WriteSymbolLengths();
    void WriteItems(const Lh5BlockItems& items, int count);

    TBitWriter& bits_;
    uint16_t codeLengthFreq_[2 * NT - 1] = {};
    uint8_t symbolLengths_[NC] = {};
    uint16_t symbolCodes_[NC] = {};
    // Shared by the code-length code and then the distance code.
    uint8_t smallLengths_[NT] = {};
    uint16_t smallCodes_[NT] = {};
    HuffmanScratch scratch_{};
};

} // namespace qv::payload::lh5
