#include "LzhBitIO.h"

namespace qv::payload::lzh {

TBitInput RefillBitInputSlow(TCompThreadSafety& state, TBitInput in) {
    while (in.count <= kRefillLevel) {
        if (in.cursor == in.end) {
            if (!in.ended) {
                state.sourceCursor = const_cast<uint8_t*>(in.cursor);
                in.ended = !state.RefillSource();
                in.cursor = state.sourceCursor;
                in.end = state.sourceEnd;
            }
            // An ended source (or a cancel) gives zero bits for ever; the
            // engine is not asked again, so a cancel stays final.
            if (in.ended) {
                in.cursor = in.end;
                in.count = kBitsAfterEnd;
                return in;
            }
        }
        in.window |= static_cast<uint64_t>(*in.cursor++) << (kRefillLevel - in.count);
        in.count += 8;
    }
    return in;
}

} // namespace qv::payload::lzh
