// Any byte string through the "LZH" decoder must end in bytes: the full
// destination size, at most one match more, and no endless loop. The first
// four bytes choose the destination size (below 4 MB, and mostly small so
// that the fuzzer keeps its pace);
// the rest is the stream. The same rest, taken as plain data, must also come
// back unchanged through the encoder when it shrinks.
#include "payload/archive/Compress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kDestSizeMask = (4u << 20) - 1;
constexpr uint32_t kShiftMask = 15;
constexpr size_t kSizeBytes = 4;
constexpr int64_t kLongestMatch = 60;

using qv::payload::kDirectionCompress;
using qv::payload::kDirectionExpand;
using qv::payload::kMethodLZH;
using qv::payload::TCompress;
using qv::payload::TMemoryStream;

// Keeps a count only, so large outputs cost no memory.
class CountingSink : public qv::payload::TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void*, int32_t count) override { size_ += count; }
    int64_t Seek(int64_t, qv::payload::SeekOrigin) override { return size_; }
    int64_t Size() override { return size_; }

private:
    int64_t size_ = 0;
};

void ExpandAnything(const std::vector<uint8_t>& stream, uint32_t destSize) {
    TMemoryStream source(stream);
    CountingSink sink;
    TCompress codec;
    uint32_t checksum = 0;
    codec.RunCodec(&sink, &source, static_cast<int32_t>(stream.size()),
                   static_cast<int32_t>(destSize), kMethodLZH, checksum, kDirectionExpand, false);
    if (sink.Size() < destSize || sink.Size() >= destSize + kLongestMatch) __builtin_trap();
}

void RoundTrip(const std::vector<uint8_t>& plain) {
    TCompress codec;
    TMemoryStream source(plain), packed;
    uint32_t sumIn = 0;
    try {
        codec.RunCodec(&packed, &source, static_cast<int32_t>(plain.size()), 0, kMethodLZH, sumIn,
                       kDirectionCompress, false);
    } catch (const qv::payload::EUnableToCompress&) {
        return;
    }
    TMemoryStream stored(packed.Bytes()), unpacked;
    uint32_t sumOut = 0;
    codec.RunCodec(&unpacked, &stored, static_cast<int32_t>(packed.Bytes().size()),
                   static_cast<int32_t>(plain.size()), kMethodLZH, sumOut, kDirectionExpand, false);
    if (unpacked.Bytes() != plain || sumIn != sumOut) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kSizeBytes) return 0;
    uint32_t word = 0;
    for (size_t i = 0; i < kSizeBytes; ++i)
        word |= static_cast<uint32_t>(data[i]) << (8 * i);
    const uint32_t destSize = (word & kDestSizeMask) >> ((word >> 24) & kShiftMask);
    const std::vector<uint8_t> rest(data + kSizeBytes, data + size);
    ExpandAnything(rest, destSize);
    RoundTrip(rest);
    return 0;
}
