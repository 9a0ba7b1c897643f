// Any byte string through the run-length expander must end in bytes: no
// crash and no output beyond what the tokens allow. A hash of the input
// chooses the source's read pieces (see FuzzSizes.h).
#include "FuzzSizes.h"
#include "payload/archive/Compress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
constexpr int kPieceShift = 28;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::fuzz::TrickleSource source(std::vector<uint8_t>(data, data + size),
                                   qv::fuzz::InputHash(data, size) >> kPieceShift);
    qv::payload::TMemoryStream dest;
    qv::payload::TCompress codec;
    uint32_t checksum = 0;
    codec.RunCodec(&dest, &source, static_cast<int32_t>(size), 0, qv::payload::kMethodRLE, checksum,
                   qv::payload::kDirectionExpand, false);
    // A two-byte token yields at most 254 bytes.
    if (dest.Bytes().size() > size * 127 + 1) __builtin_trap();
    return 0;
}
