#pragma once
// The LZ encoders' bit sink: bits packed most significant first into a local
// buffer that goes to the engine's byte sink a piece at a time. The pieces
// are cut so that the engine's output budget still stops an encoder as soon
// as the stored form outgrows the member.

#include "payload/codec/CodecEngine.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qv::payload {

class TBitWriter {
public:
    explicit TBitWriter(TCompThreadSafety& engine) : engine_(engine) { UpdateFlushPoint(); }

    // Writes the low n bits of value (n at most 32).
    void PutBits(int n, uint32_t value) {
        acc_ = (acc_ << n) | (value & LowMask(n));
        bits_ += n;
        if (bits_ >= 32) EmitWord();
    }

    // Writes the low n bits of a value of up to 64 bits.
    void PutLong(int n, uint64_t value) {
        if (n > 32) {
            PutBits(n - 32, static_cast<uint32_t>(value >> 32));
            n = 32;
        }
        PutBits(n, static_cast<uint32_t>(value));
    }

    // Writes the top n bits of a code kept left-aligned in 16 bits.
    void PutCode(int n, uint16_t leftAligned) {
        acc_ = (acc_ << n) | (static_cast<uint32_t>(leftAligned) >> (16 - n));
        bits_ += n;
        if (bits_ >= 32) EmitWord();
    }

    // Hands the buffered bytes to the engine once enough have gathered, or
    // as soon as they exceed what the budget still allows. Called after each
    // item or table entry: at most kSlack bytes may be added between calls.
    void FlushIfDue() {
        if (cursor_ >= flushPoint_) Flush();
    }

    // Completes a partly filled last byte with zero bits and hands
    // everything to the engine.
    void Finish();

private:
    static constexpr size_t kFlushSize = 8192;
    static constexpr size_t kSlack = 64;

    static constexpr uint32_t LowMask(int n) { return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1u; }

    void EmitWord() {
        bits_ -= 32;
        const auto word = static_cast<uint32_t>(acc_ >> bits_);
        cursor_[0] = static_cast<uint8_t>(word >> 24);
        cursor_[1] = static_cast<uint8_t>(word >> 16);
        cursor_[2] = static_cast<uint8_t>(word >> 8);
        cursor_[3] = static_cast<uint8_t>(word);
        cursor_ += 4;
    }

    void Flush();
    void UpdateFlushPoint() {
        const auto budget = static_cast<size_t>(std::max<int32_t>(engine_.outputBudget, 0));
        flushPoint_ = buffer_ + std::min(kFlushSize, budget + 1);
    }

    TCompThreadSafety& engine_;
    uint64_t acc_ = 0; // the low bits_ bits are pending, oldest first
    int bits_ = 0;
    uint8_t buffer_[kFlushSize + kSlack];
    uint8_t* cursor_ = buffer_;
    uint8_t* flushPoint_ = buffer_;
};

} // namespace qv::payload
