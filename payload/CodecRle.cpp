// "NON" and "RLE": bytes copied, and run-length coding with escape byte 0x94.
#include "Codecs.h"

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

void CompressRLE(TCompThreadSafety& s) {
    s.previousByte = 0x00;
    s.inRun = false;
    s.runCount = 0;
    s.atStart = true;
    for (;;) {
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
    for (;;) {
        const uint8_t b = s.ReadSourceByte();
        if (s.sourceEnded) return;
        if (b != kEscape) {
            s.WriteDestByte(b);
        } else {
            // A trailing escape reads a count of 0 and gives 0x94.
            const uint8_t n = s.ReadSourceByte();
            if (n == 0) {
                s.WriteDestByte(kEscape);
            } else {
                for (int i = 1; i < n; ++i)
                    s.WriteDestByte(repeat);
            }
        }
        repeat = b;
    }
}

} // namespace qv::payload
