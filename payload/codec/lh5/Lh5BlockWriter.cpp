#include "Lh5BlockWriter.h"

#include <cstring>

namespace qv::payload::lh5 {

namespace {
constexpr int kNoZeroRun = -1;
constexpr int kMaxShortRun = kShortRunBase + (1 << kShortRunBits) - 1; // 18
// A run of 19 zeros is one single zero and a short run of 18.
constexpr int kSplitRun = kMaxShortRun + 1;
constexpr int kZeroRunEnd = 6; // the 2-bit run covers entries 3..5

int TrimmedCount(const uint8_t* lengths, int n) {
    while (n > 0 && lengths[n - 1] == 0)
        --n;
    return n;
}

// Length of the zero run starting at i, within n entries.
int ZeroRunLength(const uint8_t* lengths, int i, int n) {
    int k = i;
    while (k < n && lengths[k] == 0)
        ++k;
    return k - i;
}
} // namespace

void Lh5BlockWriter::CountCodeLengthFrequencies() {
    std::memset(codeLengthFreq_, 0, sizeof codeLengthFreq_);
    const int n = TrimmedCount(symbolLengths_, NC);
    for (int i = 0; i < n;) {
        const int len = symbolLengths_[i];
        if (len != 0) {
            ++codeLengthFreq_[len + kLengthSymbolBias];
            ++i;
            continue;
        }
        const int run = ZeroRunLength(symbolLengths_, i, n);
        i += run;
        if (run <= 2) {
            codeLengthFreq_[0] = static_cast<uint16_t>(codeLengthFreq_[0] + run);
        } else if (run <= kMaxShortRun) {
            ++codeLengthFreq_[1];
        } else if (run == kSplitRun) {
            ++codeLengthFreq_[0];
            ++codeLengthFreq_[1];
        } else {
            ++codeLengthFreq_[2];
        }
    }
}

void Lh5BlockWriter::WriteSmallLengths(int n, int countBits, int zeroRunAfter) {
    n = TrimmedCount(smallLengths_, n);
    bits_.PutBits(countBits, static_cast<uint32_t>(n));
    for (int i = 0; i < n;) {
        const int len = smallLengths_[i++];
        if (len < kLengthEscape)
            bits_.PutBits(kLengthFieldBits, static_cast<uint32_t>(len));
        else // len - 4 one bits and a closing zero
            bits_.PutBits(len - 3, (1u << (len - 3)) - 2u);
        if (i == zeroRunAfter) {
            const int start = i;
            while (i < kZeroRunEnd && smallLengths_[i] == 0)
                ++i;
            bits_.PutBits(kZeroRunBits, static_cast<uint32_t>(i - start));
        }
    }
}

void Lh5BlockWriter::WriteSymbolLengths() {
    const int n = TrimmedCount(symbolLengths_, NC);
    bits_.PutBits(kSymbolCountBits, static_cast<uint32_t>(n));
    const auto putCodeLengthSymbol = [this](int v) {
        bits_.PutCode(smallLengths_[v], smallCodes_[v]);
    };
    for (int i = 0; i < n;) {
        bits_.FlushIfDue();
        const int len = symbolLengths_[i];
        if (len != 0) {
            putCodeLengthSymbol(len + kLengthSymbolBias);
            ++i;
            continue;
        }
        const int run = ZeroRunLength(symbolLengths_, i, n);
        i += run;
        if (run <= 2) {
            for (int k = 0; k < run; ++k)
                putCodeLengthSymbol(0);
        } else if (run <= kMaxShortRun) {
            putCodeLengthSymbol(1);
            bits_.PutBits(kShortRunBits, static_cast<uint32_t>(run - kShortRunBase));
        } else if (run == kSplitRun) {
            putCodeLengthSymbol(0);
            putCodeLengthSymbol(1);
            bits_.PutBits(kShortRunBits, static_cast<uint32_t>(kMaxShortRun - kShortRunBase));
        } else {
            putCodeLengthSymbol(2);
            bits_.PutBits(kLongRunBits, static_cast<uint32_t>(run - kLongRunBase));
        }
    }
}

void Lh5BlockWriter::WriteItems(const Lh5BlockItems& items, int count) {
    const uint8_t* buffer = items.buffer;
    int pos = 0;
    unsigned flags = 0;
    for (int i = 0; i < count; ++i) {
        if (i % 8 == 0)
            flags = buffer[pos++];
        else
            flags <<= 1;
        if (flags & 0x80) {
            const int symbol = buffer[pos] + kLiteralCount;
            const int distance = (buffer[pos + 1] << 8) | buffer[pos + 2];
            pos += 3;
            bits_.PutCode(symbolLengths_[symbol], symbolCodes_[symbol]);
            const int cls = Lh5BlockItems::DistanceClass(distance);
            bits_.PutCode(smallLengths_[cls], smallCodes_[cls]);
            if (cls > 1) bits_.PutBits(cls - 1, static_cast<uint32_t>(distance));
        } else {
            const int symbol = buffer[pos++];
            bits_.PutCode(symbolLengths_[symbol], symbolCodes_[symbol]);
        }
        bits_.FlushIfDue();
    }
}

void Lh5BlockWriter::SendBlock(Lh5BlockItems& items) {
    const int root = BuildHuffmanCode(NC, items.symbolFreq, symbolLengths_, symbolCodes_, scratch_);
    const int count = items.symbolFreq[root];
    bits_.PutBits(kBlockCountBits, static_cast<uint32_t>(count));
    if (root >= NC) {
        CountCodeLengthFrequencies();
        const int lengthRoot =
            BuildHuffmanCode(NT, codeLengthFreq_, smallLengths_, smallCodes_, scratch_);
        if (lengthRoot >= NT) {
            WriteSmallLengths(NT, kCodeLengthCountBits, kZeroRunAfter);
        } else {
            bits_.PutBits(kCodeLengthCountBits, 0);
            bits_.PutBits(kCodeLengthCountBits, static_cast<uint32_t>(lengthRoot));
        }
        WriteSymbolLengths();
    } else {
        bits_.PutBits(kCodeLengthCountBits, 0);
        bits_.PutBits(kCodeLengthCountBits, 0);
        bits_.PutBits(kSymbolCountBits, 0);
        bits_.PutBits(kSymbolCountBits, static_cast<uint32_t>(root));
    }
    const int distanceRoot =
        BuildHuffmanCode(NP, items.distanceFreq, smallLengths_, smallCodes_, scratch_);
    if (distanceRoot >= NP) {
        WriteSmallLengths(NP, kDistanceCountBits, kNoZeroRun);
    } else {
        bits_.PutBits(kDistanceCountBits, 0);
        bits_.PutBits(kDistanceCountBits, static_cast<uint32_t>(distanceRoot));
    }
    bits_.FlushIfDue();
    WriteItems(items, count);
    std::memset(items.symbolFreq, 0, sizeof items.symbolFreq);
    std::memset(items.distanceFreq, 0, sizeof items.distanceFreq);
}

} // namespace qv::payload::lh5
