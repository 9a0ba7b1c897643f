#pragma once
// The LZ decoders' bit source: most significant bit first, bytes in order,
// pulled straight from the engine's source buffer into a 64-bit window. Once
// the source has ended, or a cancel has stopped it, the stream goes on with
// zero bits and the engine is never asked again, so a cancel stays final.

#include "payload/codec/CodecEngine.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace qv::payload {

// A plain value so that a decoding loop keeps it in registers.
struct TBitReader {
    uint64_t window = 0; // next bit at the top; bits below the count are stream bits or zero
    uint32_t count = 0;  // valid bits at the top of the window, at most 63
    bool ended = false;  // the engine's source has ended or was cancelled
    const uint8_t* cursor = nullptr;
    const uint8_t* end = nullptr;
};

// Bits a word refill leaves at least.
inline constexpr uint32_t kWordRefillBits = 56;

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

// Stands in for the source once it has ended, so the word refill keeps working.
inline constexpr uint8_t kZeroBytes[64] = {};

// The slow path of RefilledBits: byte by byte near the end of the engine's
// buffer. The engine's buffer is refilled only once fewer than `needed` bits
// (at most kWordRefillBits + 1) are left, so each codec keeps its own pace of
// source reads. Inline like the fast path: each decoder's compiler sees all of
// it, which keeps the reader's fields in registers across the call.
inline TBitReader RefilledBitsSlow(TCompThreadSafety& engine, TBitReader reader, uint32_t needed) {
    for (;;) {
        // Below kWordRefillBits so the count stays under 64, as the word refill requires.
        while (reader.count < kWordRefillBits && reader.cursor != reader.end) {
            reader.window |= static_cast<uint64_t>(*reader.cursor++)
                             << (kWordRefillBits - reader.count);
            reader.count += 8;
        }
        if (reader.cursor != reader.end || reader.count >= needed) return reader;
        if (!reader.ended) {
            engine.sourceCursor = const_cast<uint8_t*>(reader.cursor);
            if (engine.RefillSource()) {
                reader.cursor = engine.sourceCursor;
                reader.end = engine.sourceEnd;
                continue;
            }
            reader.ended = true;
        }
        reader.cursor = kZeroBytes;
        reader.end = kZeroBytes + sizeof kZeroBytes;
    }
}

// At least kWordRefillBits bits while eight source bytes are at hand; near
// the end of the engine's buffer, at least `needed`.
inline TBitReader RefilledBits(TCompThreadSafety& engine, TBitReader reader, uint32_t needed) {
    if (reader.end - reader.cursor >= 8) {
        reader.window |= LoadBigEndian64(reader.cursor) >> reader.count;
        reader.cursor += (63 - reader.count) >> 3;
        reader.count |= kWordRefillBits;
        return reader;
    }
    return RefilledBitsSlow(engine, reader, needed);
}

inline TBitReader StartBitReader(const TCompThreadSafety& engine) {
    TBitReader reader;
    reader.cursor = engine.sourceCursor;
    reader.end = engine.sourceEnd;
    return reader;
}

// Hands the unread bytes back to the engine.
inline void FinishBitReader(TCompThreadSafety& engine, const TBitReader& reader) {
    if (!reader.ended) engine.sourceCursor = const_cast<uint8_t*>(reader.cursor);
}

} // namespace qv::payload
