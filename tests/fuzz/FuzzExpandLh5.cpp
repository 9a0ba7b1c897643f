// Any byte string through the lh5 decoder must end in bytes or
// ELZHBadDecodeTable. The last four bytes choose the destination size and
// the source's read pieces (see FuzzSizes.h); the rest is the stream, so raw
// lh5 files make good starting inputs with their heads intact.
#include "FuzzSizes.h"
#include "payload/archive/Compress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kLargeCap = 256u << 10; // several output flushes, yet quick
constexpr size_t kSizeBytes = 4;
constexpr int kPieceShift = 28;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kSizeBytes) return 0;
    const size_t streamSize = size - kSizeBytes;
    uint32_t word = 0;
    for (size_t i = 0; i < kSizeBytes; ++i)
        word |= static_cast<uint32_t>(data[streamSize + i]) << (8 * i);
    const uint32_t destSize =
        qv::fuzz::DestinationSize(word, kLargeCap, qv::fuzz::PickedLarge(data, size));

    qv::fuzz::TrickleSource source(std::vector<uint8_t>(data, data + streamSize),
                                   word >> kPieceShift);
    qv::fuzz::CountingSink sink;
    qv::payload::TCompress codec;
    uint32_t checksum = 0;
    try {
        codec.RunCodec(&sink, &source, static_cast<int32_t>(streamSize),
                       static_cast<int32_t>(destSize), qv::payload::kMethodLH5, checksum,
                       qv::payload::kDirectionExpand, false);
    } catch (const qv::payload::ELZHBadDecodeTable&) {
        return 0;
    }
    // The loop ends by the produced count: at least the size, at most one match more.
    if (sink.Size() < destSize || sink.Size() > destSize + 255) __builtin_trap();
    return 0;
}
