#pragma once
// The lh5 encoder's block stage: literals and matches collect in a 16 KiB
// buffer (eight items behind each flag byte); a full buffer becomes one block
// of the bit stream with its three code tables.

#include "HuffmanBuilder.h"
#include "Lh5BitWriter.h"
#include "Lh5Format.h"

#include <cstdint>

namespace qv::payload::lh5 {

class Lh5BlockWriter {
public:
    explicit Lh5BlockWriter(Lh5BitWriter& bits) : bits_(bits) {}

    void AddLiteral(uint8_t byte) {
        BeginItem();
        buffer_[outputPos_++] = byte;
        ++symbolFreq_[byte];
    }

    // symbol is 256..509; distance is the match offset minus one (0..8191).
    void AddMatch(int symbol, int distance) {
        BeginItem();
        buffer_[flagPos_] = static_cast<uint8_t>(buffer_[flagPos_] | outputMask_);
        buffer_[outputPos_++] = static_cast<uint8_t>(symbol);
        buffer_[outputPos_++] = static_cast<uint8_t>(distance >> 8);
        buffer_[outputPos_++] = static_cast<uint8_t>(distance);
        ++symbolFreq_[symbol];
        ++distanceFreq_[DistanceClass(distance)];
    }

    // Codes the collected items as one block.
    void SendBlock();

    // The number of significant bits of a distance value.
    static int DistanceClass(int distance) {
        int c = 0;
        while (distance != 0) {
            distance >>= 1;
            ++c;
        }
        return c;
    }

private:
    static constexpr int kBufferSize = 16384;
    // A new group of eight starts only while a whole group (flag byte and
    // eight matches) still fits.
    static constexpr int kBlockLimit = kBufferSize - 3 * 8;

    void BeginItem() {
        outputMask_ >>= 1;
        if (outputMask_ != 0) return;
        outputMask_ = 0x80;
        if (outputPos_ >= kBlockLimit) {
            SendBlock();
            outputPos_ = 0;
        }
        flagPos_ = outputPos_++;
        buffer_[flagPos_] = 0;
    }

    void CountCodeLengthFrequencies();
    void WriteSmallLengths(int n, int countBits, int zeroRunAfter);
    void WriteSymbolLengths();
    void WriteItems(int count);

    Lh5BitWriter& bits_;
    uint8_t buffer_[kBufferSize] = {};
    int outputPos_ = 0;
    int flagPos_ = 0;
    unsigned outputMask_ = 0;

    uint16_t symbolFreq_[2 * NC - 1] = {};
    uint16_t distanceFreq_[2 * NP - 1] = {};
    uint16_t codeLengthFreq_[2 * NT - 1] = {};
    uint8_t symbolLengths_[NC] = {};
    uint16_t symbolCodes_[NC] = {};
    // Shared by the code-length code and then the distance code.
    uint8_t smallLengths_[NT] = {};
    uint16_t smallCodes_[NT] = {};
    HuffmanScratch scratch_{};
};

} // namespace qv::payload::lh5
