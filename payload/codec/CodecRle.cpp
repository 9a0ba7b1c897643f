// "NON" and "RLE": bytes copied, and run-length coding with escape byte 0x94.
#include "Codecs.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace qv::payload {

namespace {
constexpr uint8_t kEscape = 0x94;
constexpr int32_t kLongestRun = 255;

void WriteEscapedLiteral(TCompThreadSafety& s, uint8_t b) {
    if (b == kEscape) {
        s.WriteDestByte(kEscape);
        s.WriteDestByte(0x00);
    } else {
        s.WriteDestByte(b);
    }
}

// A run of c equal bytes whose first copy is already written.
void EndRun(TCompThreadSafety& s) {
    if (s.runCount >= 3) {
        s.WriteDestByte(kEscape);
        s.WriteDestByte(static_cast<uint8_t>(s.runCount));
    } else if (s.runCount == 2) {
        s.WriteDestByte(s.previousByte);
    }
    s.inRun = false;
}
} // namespace

void CopyStored(TCompThreadSafety& s) {
    for (;;) {
        if (s.sourceCursor == s.sourceEnd && !s.RefillSource()) return;
        const size_t n = s.SourceAvailable();
        s.WriteDestBytes(s.sourceCursor, n);
        s.sourceCursor += n;
    }
}

namespace {
// Length of the plain stretch at the cursor: bytes that neither escape nor
// repeat their predecessor, which the coder copies unchanged.
size_t PlainStretch(const uint8_t* p, const uint8_t* end, uint8_t previous, bool atStart) {
    const uint8_t* q = p;
    if (q < end && atStart && *q != kEscape) previous = *q++;
    while (q < end && *q != kEscape && *q != previous)
        previous = *q++;
    return static_cast<size_t>(q - p);
}

// How many bytes at the cursor continue the current run without passing 255.
size_t RunStretch(const uint8_t* p, const uint8_t* end, uint8_t value, int32_t runCount) {
    const uint8_t* q = p;
    const uint8_t* limit = p + std::min<ptrdiff_t>(end - p, kLongestRun - runCount);
    while (q < limit && *q == value)
        ++q;
    return static_cast<size_t>(q - p);
}

// Takes the plain and run stretches of the buffered source in bulk; the
// result is what the byte-wise coder below would produce for them.
void TakeStretches(TCompThreadSafety& s) {
    if (s.inRun) {
        const size_t n = RunStretch(s.sourceCursor, s.sourceEnd, s.previousByte, s.runCount);
        s.runCount += static_cast<int32_t>(n);
        s.sourceCursor += n;
        return;
    }
    const size_t n = PlainStretch(s.sourceCursor, s.sourceEnd, s.previousByte, s.atStart);
    if (n == 0) return;
    s.WriteDestBytes(s.sourceCursor, n);
    s.previousByte = s.sourceCursor[n - 1];
    s.sourceCursor += n;
    s.atStart = false;
}
} // namespace

void CompressRLE(TCompThreadSafety& s) {
    s.previousByte = 0x00;
    s.inRun = false;
    s.runCount = 0;
    s.atStart = true;
    for (;;) {
        if (s.SourceAvailable() > 0) TakeStretches(s);
        const uint8_t b = s.ReadSourceByte();
        if (s.sourceEnded) break;
        if (s.inRun) {
            if (b == s.previousByte && s.runCount < kLongestRun) {
                ++s.runCount;
            } else {
                EndRun(s);
                WriteEscapedLiteral(s, b);
                s.previousByte = b;
            }
        } else {
            if (b == kEscape) {
                WriteEscapedLiteral(s, b);
            } else if (b == s.previousByte && !s.atStart) {
                s.inRun = true;
                s.runCount = 2;
            } else {
                s.WriteDestByte(b);
            }
            s.previousByte = b;
        }
        s.atStart = false;
    }
    if (s.inRun) EndRun(s);
}

void ExpandRLE(TCompThreadSafety& s) {
    uint8_t repeat = 0x00;
    uint8_t copies[kLongestRun];
    for (;;) {
        // Literal stretches up to the next escape go out in bulk.
        if (s.SourceAvailable() > 0) {
            const auto* escape = static_cast<const uint8_t*>(
                std::memchr(s.sourceCursor, kEscape, s.SourceAvailable()));
            const size_t n =
                escape ? static_cast<size_t>(escape - s.sourceCursor) : s.SourceAvailable();
            if (n > 0) {
                s.WriteDestBytes(s.sourceCursor, n);
                repeat = s.sourceCursor[n - 1];
                s.sourceCursor += n;
                continue;
            }
        }
        const uint8_t b = s.ReadSourceByte();
        if (s.sourceEnded) return;
        if (b != kEscape) {
            s.WriteDestByte(b);
        } else {
            // A trailing escape reads a count of 0 and gives 0x94.
            const uint8_t n = s.ReadSourceByte();
            if (n == 0) {
                s.WriteDestByte(kEscape);
            } else if (n > 1) {
                std::memset(copies, repeat, n - 1u);
                s.WriteDestBytes(copies, n - 1u);
            }
        }
        repeat = b;
    }
}

} // namespace qv::payload
