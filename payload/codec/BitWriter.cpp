#include "BitWriter.h"

namespace qv::payload {

void TBitWriter::Flush() {
    engine_.WriteDestBytes(buffer_, static_cast<size_t>(cursor_ - buffer_));
    cursor_ = buffer_;
    UpdateFlushPoint();
}

void TBitWriter::Finish() {
    if (bits_ % 8 != 0) PutBits(8 - bits_ % 8, 0);
    while (bits_ >= 8) {
        bits_ -= 8;
        *cursor_++ = static_cast<uint8_t>(acc_ >> bits_);
    }
    Flush();
}

} // namespace qv::payload
