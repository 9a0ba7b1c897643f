#include "Compress.h"

namespace qv::payload {

namespace {
constexpr int32_t kProgressStart = 0;
constexpr int32_t kProgressDone = 100;
constexpr int32_t kCancel = -1;

void RunSelectedCodec(TCompThreadSafety& s, uint8_t method, uint8_t direction, int32_t destSize) {
    const bool compressing = direction == kDirectionCompress;
    switch (method) {
    case kMethodNON:
        CopyStored(s);
        break;
    case kMethodRLE:
        compressing ? CompressRLE(s) : ExpandRLE(s);
        break;
    case kMethodLZH:
        compressing ? CompressLZH(s) : ExpandLZH(s, destSize);
        break;
    case kMethodLH5:
        compressing ? CompressLH5(s) : ExpandLH5(s, destSize);
        break;
    default:
        break; // "CUS" and unknown numbers run nothing
    }
}
} // namespace

int32_t TCompress::RunCodec(TStream* dest, TStream* source, int32_t sourceSize, int32_t destSize,
                            uint8_t method, uint32_t& checksum, uint8_t direction, bool keyFlag) {
    const TShowProgressEvent* handler = OnShowProgress ? &OnShowProgress : nullptr;
    if (handler) {
        int32_t percent = kProgressStart;
        (*handler)(percent);
        if (percent == kCancel) return 0;
    }
    const bool compressing = direction == kDirectionCompress;
    state_.Begin(dest, source, sourceSize, compressing, Key, keyFlag, handler);
    try {
        RunSelectedCodec(state_, method, direction, destSize);
    } catch (...) {
        state_.Release();
        throw;
    }
    checksum = compressing ? state_.sumRead : state_.sumWritten;
    state_.Finish();
    if (handler) {
        int32_t percent = kProgressDone;
        (*handler)(percent);
    }
    return state_.bytesWritten;
}

} // namespace qv::payload
