#pragma once
// The codecs behind RunCodec. Each reads through the engine's byte source and
// writes through its byte sink; LZ codecs keep their tables in state they
// allocate per member.

#include "CodecEngine.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace qv::payload {

// Method numbers and their three-character identifiers.
enum TMethod : uint8_t {
    kMethodNON = 0,
    kMethodRLE = 1,
    kMethodLZH = 2,
    kMethodCUS = 3,
    kMethodLH5 = 4
};
inline constexpr std::array<std::string_view, 5> kMethodIds = {"NON", "RLE", "LZH", "CUS", "LH5"};

void CopyStored(TCompThreadSafety& state);
void CompressRLE(TCompThreadSafety& state);
void ExpandRLE(TCompThreadSafety& state);
void CompressLZH(TCompThreadSafety& state);
void ExpandLZH(TCompThreadSafety& state, int32_t destSize);
void CompressLH5(TCompThreadSafety& state);
void ExpandLH5(TCompThreadSafety& state, int32_t destSize);

} // namespace qv::payload
