#pragma once
// Bit streams of the "LZH" method: most significant bit first, bytes in
// order. The input side pulls bytes straight from the engine's source buffer
// and yields zero bits once the source has ended (or was cancelled); the
// output side gathers whole bytes in a local buffer and hands them to the
// engine's sink a block at a time.

#include "payload/codec/CodecEngine.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace qv::payload::lzh {

// A plain value so that a decoding loop keeps it in registers.
struct TBitInput {
    uint64_t window = 0; // next bit at the top; bits below the count are zero
    int count = 0;
    const uint8_t* cursor = nullptr;
    const uint8_t* end = nullptr;
    bool ended = false;
};

inline constexpr int kRefillLevel = 56;
inline constexpr int kBitsAfterEnd = 64;

// The slow path of Refill: byte by byte near the end of the engine's buffer,
// refilling it as needed. Kept out of line so the fast path stays small.
TBitInput RefillBitInputSlow(TCompThreadSafety& state, TBitInput in);

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

// Leaves more than kRefillLevel bits in the window.
inline void Refill(TCompThreadSafety& state, TBitInput& in) {
    if (in.count > kRefillLevel) return;
    if (in.end - in.cursor >= 8) {
        in.window |= LoadBigEndian64(in.cursor) >> in.count;
        in.cursor += (63 - in.count) >> 3;
        in.count |= kRefillLevel;
    } else {
        in = RefillBitInputSlow(state, in);
    }
}

inline TBitInput StartBitInput(const TCompThreadSafety& state) {
    TBitInput in;
    in.cursor = state.sourceCursor;
    in.end = state.sourceEnd;
    return in;
}

// Hands the unread bytes back to the engine.
inline void FinishBitInput(TCompThreadSafety& state, const TBitInput& in) {
    if (!in.ended) state.sourceCursor = const_cast<uint8_t*>(in.cursor);
}

class TBitOutput {
public:
    explicit TBitOutput(TCompThreadSafety& state) : state_(state) {}

    // Sends the low `length` bits of value, most significant first.
    void Put(uint64_t value, int length) {
        while (length > kMaxPut) {
            length -= kMaxPut;
            PutSmall(static_cast<uint32_t>(value >> length), kMaxPut);
        }
        PutSmall(static_cast<uint32_t>(value) & ((1u << length) - 1u), length);
    }

    // Pads the last byte with zero bits and passes everything to the engine.
    void Finish() {
        if (count_ > 0) {
            buffer_[used_++] = static_cast<uint8_t>(window_ >> 56);
            window_ = 0;
            count_ = 0;
        }
        Drain();
    }

private:
    static constexpr int kMaxPut = 24;
    static constexpr size_t kBufferSize = 4096;

    void PutSmall(uint32_t value, int length) {
        if (length == 0) return;
        window_ |= static_cast<uint64_t>(value) << (64 - count_ - length);
        count_ += length;
        while (count_ >= 8) {
            buffer_[used_++] = static_cast<uint8_t>(window_ >> 56);
            window_ <<= 8;
            count_ -= 8;
        }
        if (used_ > kBufferSize - 8) Drain();
    }

    void Drain() {
        state_.WriteDestBytes(buffer_, used_);
        used_ = 0;
    }

    TCompThreadSafety& state_;
    uint64_t window_ = 0; // pending bits at the top
    int count_ = 0;
    size_t used_ = 0;
    uint8_t buffer_[kBufferSize];
};

} // namespace qv::payload::lzh
