#pragma once
// The lh5 encoder's item collection. Items gather in one of two buffers;
// a full buffer goes to a coder thread while the scan fills the other, so
// building the codes and writing the bits overlap the next block's match
// finding. Blocks still reach the bit writer one at a time and in order.
// A member that fits in one block never starts the thread.

#include "Lh5BlockItems.h"
#include "Lh5BlockWriter.h"
#include "payload/codec/BitWriter.h"
#include "payload/codec/CoderThread.h"

#include <cstdint>

namespace qv::payload::lh5 {

class Lh5BlockPipeline {
public:
    explicit Lh5BlockPipeline(TBitWriter& bits)
        : writer_(bits), coder_([this](Lh5BlockItems& items) { writer_.SendBlock(items); }) {}
    Lh5BlockPipeline(const Lh5BlockPipeline&) = delete;
    Lh5BlockPipeline& operator=(const Lh5BlockPipeline&) = delete;

    void AddLiteral(uint8_t byte) {
        BeginItem();
        Lh5BlockItems& items = coder_.Filling();
        items.buffer[items.size++] = byte;
        ++items.symbolFreq[byte];
    }

    // symbol is 256..509; distance is the match offset minus one (0..8191).
    void AddMatch(int symbol, int distance) {
        BeginItem();
        Lh5BlockItems& items = coder_.Filling();
        items.buffer[flagPos_] = static_cast<uint8_t>(items.buffer[flagPos_] | outputMask_);
        items.buffer[items.size++] = static_cast<uint8_t>(symbol);
        items.buffer[items.size++] = static_cast<uint8_t>(distance >> 8);
        items.buffer[items.size++] = static_cast<uint8_t>(distance);
        ++items.symbolFreq[symbol];
        ++items.distanceFreq[Lh5BlockItems::DistanceClass(distance)];
    }

    // Codes every block handed over and then the one being filled. An error
    // of the coder thread is raised here or at the next hand-over.
    void Finish();

private:
    // A new group of eight starts only while a whole group (flag byte and
    // eight matches) still fits.
    static constexpr int kBlockLimit = Lh5BlockItems::kBufferSize - 3 * 8;

    void BeginItem() {
        outputMask_ >>= 1;
        if (outputMask_ != 0) return;
        outputMask_ = 0x80;
        if (coder_.Filling().size >= kBlockLimit) coder_.HandOver();
        Lh5BlockItems& items = coder_.Filling();
        flagPos_ = items.size++;
        items.buffer[flagPos_] = 0;
    }

    // The writer is used by the coder thread, which ends first.
    Lh5BlockWriter writer_;
    TCoderThread<Lh5BlockItems> coder_;
    int flagPos_ = 0;
    unsigned outputMask_ = 0;
};

} // namespace qv::payload::lh5
