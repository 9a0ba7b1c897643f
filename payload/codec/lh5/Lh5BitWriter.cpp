#include "Lh5BitWriter.h"

namespace qv::payload::lh5 {

void Lh5BitWriter::Flush() {
    engine_.WriteDestBytes(buffer_, static_cast<size_t>(cursor_ - buffer_));
    cursor_ = buffer_;
    UpdateFlushPoint();
}

void Lh5BitWriter::Finish() {
    if (bits_ % 8 != 0) PutBits(8 - bits_ % 8, 0);
    while (bits_ >= 8) {
        bits_ -= 8;
        *cursor_++ = static_cast<uint8_t>(acc_ >> bits_);
    }
    Flush();
}

} // namespace qv::payload::lh5
