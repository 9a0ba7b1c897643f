// Any byte string through the "LZH" decoder must end in bytes: the full
// destination size, at most one match more, and no endless loop. The first
// four bytes choose the destination size and the source's read pieces (see
// FuzzSizes.h); the rest is the stream. The start of the same rest, taken
// as plain data, must also come back unchanged through the encoder when it
// shrinks.
#include "FuzzSizes.h"
#include "payload/archive/Compress.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kLargeCap = 4u << 20;
constexpr size_t kSizeBytes = 4;
constexpr int kPieceShift = 28;
constexpr int64_t kLongestMatch = 60;
// The round trip is the slow half under the sanitizers: most inputs send
// their first kilobyte. The large ones send 32 KB: their rest over and over,
// each copy XORed with its number so that it compresses as the rest does
// rather than as one long match; that wraps the encoder's 4 KB ring and
// fills enough items to start its coder thread.
constexpr size_t kRoundTripSmall = 1u << 10;
constexpr size_t kRoundTripLarge = 32u << 10;

using qv::payload::kDirectionCompress;
using qv::payload::kDirectionExpand;
using qv::payload::kMethodLZH;
using qv::payload::TCompress;
using qv::payload::TMemoryStream;

void ExpandAnything(const std::vector<uint8_t>& stream, uint32_t destSize, uint32_t pieceBits) {
    qv::fuzz::TrickleSource source(stream, pieceBits);
    qv::fuzz::CountingSink sink;
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
    const bool large = qv::fuzz::PickedLarge(data, size);
    const std::vector<uint8_t> rest(data + kSizeBytes, data + size);
    ExpandAnything(rest, qv::fuzz::DestinationSize(word, kLargeCap, large), word >> kPieceShift);
    std::vector<uint8_t> plain(rest.begin(), rest.begin() + std::min(rest.size(), kRoundTripSmall));
    if (large && !rest.empty()) {
        plain.resize(kRoundTripLarge);
        for (size_t i = 0; i < plain.size(); ++i)
            plain[i] = static_cast<uint8_t>(rest[i % rest.size()] ^ (i / rest.size()));
    }
    RoundTrip(plain);
    return 0;
}
