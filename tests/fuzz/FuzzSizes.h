#pragma once
// Destination sizes and sources for the expander targets. An LZ expander produces its
// full destination size whatever the stream holds, so the size decides what
// one input costs. Most inputs ask for at most 16 KB, so that a bounded run
// tries many streams; one input in kLargeShare may ask for up to its target's
// cap, which keeps the long-output paths (buffer flushes, model rebuilds)
// covered. The large ones are picked by a hash of the whole input, so that
// the mutants of one large input are not all large as well.
#include "payload/archive/Compress.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qv::fuzz {

inline constexpr uint32_t kSmallCap = 16u << 10;
inline constexpr uint32_t kLargeShare = 64;
inline constexpr uint32_t kSmallShiftMask = 7;
inline constexpr uint32_t kLargeShiftMask = 15;
inline constexpr int kShiftBit = 24;

inline uint32_t InputHash(const uint8_t* data, size_t size) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

inline bool PickedLarge(const uint8_t* data, size_t size) {
    return InputHash(data, size) % kLargeShare == 0;
}

// The low bits of word give a size below the cap (a power of two); bits
// 24..27 shift it down, spreading sizes over several orders of magnitude
// (the large ones mostly well below their cap).
inline uint32_t DestinationSize(uint32_t word, uint32_t largeCap, bool large) {
    const uint32_t cap = large ? largeCap : kSmallCap;
    const uint32_t shift = (word >> kShiftBit) & (large ? kLargeShiftMask : kSmallShiftMask);
    return (word & (cap - 1)) >> shift;
}

// A source that hands out at most 16 << (bits & 15) bytes a read, so that
// short inputs still cross the engine's refills at every kind of position
// (the engine reads 8 KB chunks; most pieces are shorter).
class TrickleSource : public payload::TMemoryStream {
public:
    TrickleSource(std::vector<uint8_t> bytes, uint32_t bits)
        : TMemoryStream(std::move(bytes)), piece_(16 << (bits & 15)) {}
    int32_t Read(void* buffer, int32_t count) override {
        return TMemoryStream::Read(buffer, std::min(count, piece_));
    }

private:
    int32_t piece_;
};

// Keeps a count only, so large outputs cost no memory.
class CountingSink : public payload::TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void*, int32_t count) override { size_ += count; }
    int64_t Seek(int64_t, payload::SeekOrigin) override { return size_; }
    int64_t Size() override { return size_; }

private:
    int64_t size_ = 0;
};

} // namespace qv::fuzz
