#pragma once
// TCompress: the archive component. It owns one codec state object and runs
// every member through RunCodec.

#include "CodecEngine.h"
#include "Codecs.h"
#include "CompressErrors.h"
#include "Stream.h"

#include <cstdint>

namespace qv::payload {

class TCompress {
public:
    TCompress() = default;
    TCompress(const TCompress&) = delete;
    TCompress& operator=(const TCompress&) = delete;

    TShowProgressEvent OnShowProgress;
    int32_t Key = 0;

    // Codes sourceSize bytes from the source's position into dest. Returns the
    // bytes written when compressing; checksum receives the sum of the
    // uncompressed bytes (without the key).
    int32_t RunCodec(TStream* dest, TStream* source, int32_t sourceSize, int32_t destSize,
                     uint8_t method, uint32_t& checksum, uint8_t direction, bool keyFlag);

private:
    TCompThreadSafety state_;
};

} // namespace qv::payload
