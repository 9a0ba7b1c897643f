// LH5 expansion: static-Huffman LZ77 blocks over an 8192-byte window.
//
// Speed comes from the shared bit reader's 64-bit window, filled eight bytes at
// a time straight from the engine's source buffer, table entries that decode a
// symbol with one lookup and one shift, and output decoded into a linear buffer
// (window history in front) that goes to the engine's sink in 64 KiB pieces.
#include "Lh5Decoder.h"

#include "payload/codec/BitReader.h"
#include "payload/codec/Codecs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace qv::payload {

namespace lh5 {

namespace {
constexpr uint32_t kCodeSpace = 1u << kMaxCodeLength;

uint32_t MakeEntry(int symbol, int length) {
    return static_cast<uint32_t>(symbol) | (static_cast<uint32_t>(length) << kEntryLengthShift);
}

// Symbols ordered by code length, then by symbol number: the canonical order.
int SortByLength(int symbolCount, const uint8_t* lengths, const int (&count)[kMaxCodeLength + 1],
                 uint16_t* sorted) {
    int offset[kMaxCodeLength + 1] = {};
    int total = 0;
    for (int len = 1; len <= kMaxCodeLength; ++len) {
        offset[len] = total;
        total += count[len];
    }
    for (int s = 0; s < symbolCount; ++s)
        if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);
    return total;
}
} // namespace

void BuildDecodeTable(int symbolCount, const uint8_t* lengths, const TDecodeTableView& table) {
    int count[kMaxCodeLength + 1] = {};
    for (int s = 0; s < symbolCount; ++s) {
        if (lengths[s] > kMaxCodeLength) throw ELZHBadDecodeTable();
        ++count[lengths[s]];
    }
    uint32_t space = 0;
    for (int len = 1; len <= kMaxCodeLength; ++len)
        space += static_cast<uint32_t>(count[len]) << (kMaxCodeLength - len);
    if (space != kCodeSpace) throw ELZHBadDecodeTable();

    uint16_t sorted[NC];
    const int used = SortByLength(symbolCount, lengths, count, sorted);
    const int subBits = kMaxCodeLength - table.bits;
    const uint32_t subMask = (1u << subBits) - 1;
    uint32_t code = 0; // left-aligned in 16 bits, growing in canonical order
    int subtables = 0;
    uint32_t lastPrefix = ~0u;
    for (int i = 0; i < used; ++i) {
        const int s = sorted[i];
        const int len = lengths[s];
        const uint32_t span = 1u << (kMaxCodeLength - len);
        if (len <= table.bits) {
            const uint32_t first = code >> subBits;
            std::fill_n(table.main + first, span >> subBits, MakeEntry(s, len));
        } else {
            // Codes sharing a prefix are consecutive in canonical order.
            const uint32_t prefix = code >> subBits;
            if (prefix != lastPrefix) {
                if (subtables == table.subCapacity) throw ELZHBadDecodeTable();
                table.main[prefix] = kEntrySubtable | static_cast<uint32_t>(subtables << subBits);
                ++subtables;
                lastPrefix = prefix;
            }
            uint32_t* sub = table.sub + (table.main[prefix] & kEntrySymbolMask);
            std::fill_n(sub + (code & subMask), span, MakeEntry(s, len));
        }
        code += span;
    }
}

void FillSingleSymbol(int symbolCount, int symbol, const TDecodeTableView& table) {
    const uint32_t entry = symbol < symbolCount ? MakeEntry(symbol, 0) : kEntryInvalid;
    std::fill_n(table.main, 1u << table.bits, entry);
}

namespace {
// The entry for a special main entry: its subtable's entry, or an error.
uint32_t ResolveEntry(const TDecodeTableView& table, uint32_t entry, uint64_t bits) {
    if (entry & kEntryInvalid) throw ELZHBadDecodeTable();
    const int subBits = kMaxCodeLength - table.bits;
    const auto index = static_cast<uint32_t>((bits << table.bits) >> (64 - subBits));
    return table.sub[(entry & kEntrySymbolMask) + index];
}
} // namespace

TDecodedSymbol LookupSymbol(const TDecodeTableView& table, uint16_t window) {
    const uint64_t bits = static_cast<uint64_t>(window) << 48;
    uint32_t entry = table.main[bits >> (64 - table.bits)];
    if (entry & kEntrySpecial) entry = ResolveEntry(table, entry, bits);
    return {static_cast<int>(entry & kEntrySymbolMask),
            static_cast<int>((entry >> kEntryLengthShift) & kEntryLengthMask)};
}

namespace {

// Bits guaranteed after a refill: a symbol (16), a distance code (16) and its
// extra bits (12) fit.
constexpr uint32_t kRefillBits = 48;

// Window history in front of the output, 64 KiB handed to the sink at a time,
// and room for a whole match plus a word-copy overrun past the flush mark.
constexpr int32_t kFlushSize = 65536;
constexpr int32_t kCopyOverrun = 16;
constexpr size_t kOutputSize = kWindowSize + kFlushSize + kMaxMatch + kCopyOverrun;

struct TDistanceClass {
    uint32_t base;
    uint32_t extraBits;
};
constexpr TDistanceClass MakeDistanceClass(int j) {
    return j == 0 ? TDistanceClass{0, 0}
                  : TDistanceClass{1u << (j - 1), static_cast<uint32_t>(j - 1)};
}
constexpr TDistanceClass kDistanceClasses[NP] = {
    MakeDistanceClass(0),  MakeDistanceClass(1), MakeDistanceClass(2),  MakeDistanceClass(3),
    MakeDistanceClass(4),  MakeDistanceClass(5), MakeDistanceClass(6),  MakeDistanceClass(7),
    MakeDistanceClass(8),  MakeDistanceClass(9), MakeDistanceClass(10), MakeDistanceClass(11),
    MakeDistanceClass(12), MakeDistanceClass(13)};

// Code lengths of a small table: at most 31 sent (5-bit count).
constexpr int kMaxSmallLengths = 1 << kCodeLengthCountBits;
// Seven plus this many 1 bits is already longer than any code.
constexpr int kMaxLengthRun = kMaxCodeLength - kLengthEscape;

class TLh5Expander {
public:
    explicit TLh5Expander(TCompThreadSafety& state) : state_(state) {}

    void Run(int32_t destSize);

private:
    TCompThreadSafety& state_;
    TBitReader bits_;
    int32_t blockRemaining_ = 0;
    TSymbolTable symbols_;
    TSmallTable lengthCodes_;
    TSmallTable distances_;
    uint8_t symbolLengths_[NC];
    uint8_t output_[kOutputSize];

    TBitReader Refill(TBitReader b) { return RefilledBits(state_, b, kRefillBits); }
    void Fill() { bits_ = Refill(bits_); }
    uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_.window >> (64 - n)); }
    void Skip(int n) {
        bits_.window <<= n;
        bits_.count -= static_cast<uint32_t>(n);
    }
    uint32_t Take(int n) {
        const uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    int DecodeWith(const TDecodeTableView& table);

    void ReadBlockHeader();
    int ReadCodeLength();
    void ReadSmallTable(int symbolCount, int countBits, bool zeroRun, TSmallTable& table);
    void ReadSymbolTable();
    void AddZeroLengths(int& filled, uint32_t run);

    uint8_t* DecodeSymbols(uint8_t* out, const uint8_t* limit);
};

int TLh5Expander::DecodeWith(const TDecodeTableView& table) {
    uint32_t entry = table.main[bits_.window >> (64 - table.bits)];
    if (entry & kEntrySpecial) entry = ResolveEntry(table, entry, bits_.window);
    Skip(static_cast<int>((entry >> kEntryLengthShift) & kEntryLengthMask));
    return static_cast<int>(entry & kEntrySymbolMask);
}

// A length of a small table: three bits, and 7 continues as a run of 1 bits
// ended by a 0 bit.
int TLh5Expander::ReadCodeLength() {
    Fill();
    const auto field = static_cast<int>(Take(kLengthFieldBits));
    if (field != kLengthEscape) return field;
    const int ones = std::countl_one(bits_.window);
    if (ones > kMaxLengthRun) throw ELZHBadDecodeTable();
    Skip(ones + 1);
    return kLengthEscape + ones;
}

void TLh5Expander::ReadSmallTable(int symbolCount, int countBits, bool zeroRun,
                                  TSmallTable& table) {
    Fill();
    const auto sent = static_cast<int>(Take(countBits));
    if (sent == 0) {
        FillSingleSymbol(symbolCount, static_cast<int>(Take(countBits)), table.View());
        return;
    }
    // Lengths past the alphabet are read and ignored.
    uint8_t lengths[kMaxSmallLengths] = {};
    int i = 0;
    while (i < sent) {
        lengths[i++] = static_cast<uint8_t>(ReadCodeLength());
        if (zeroRun && i == kZeroRunAfter) i += static_cast<int>(Take(kZeroRunBits));
    }
    BuildDecodeTable(symbolCount, lengths, table.View());
}

void TLh5Expander::AddZeroLengths(int& filled, uint32_t run) {
    if (run > static_cast<uint32_t>(NC - filled)) throw ELZHBadDecodeTable();
    std::fill_n(symbolLengths_ + filled, run, 0);
    filled += static_cast<int>(run);
}

void TLh5Expander::ReadSymbolTable() {
    Fill();
    const auto sent = static_cast<int>(Take(kSymbolCountBits));
    if (sent == 0) {
        FillSingleSymbol(NC, static_cast<int>(Take(kSymbolCountBits)), symbols_.View());
        return;
    }
    if (sent > NC) throw ELZHBadDecodeTable();
    std::fill_n(symbolLengths_, NC, 0);
    int filled = 0;
    while (filled < sent) {
        Fill();
        const int v = DecodeWith(lengthCodes_.View());
        if (v == 0) {
            symbolLengths_[filled++] = 0;
        } else if (v == 1) {
            AddZeroLengths(filled, Take(kShortRunBits) + kShortRunBase);
        } else if (v == 2) {
            AddZeroLengths(filled, Take(kLongRunBits) + kLongRunBase);
        } else {
            symbolLengths_[filled++] = static_cast<uint8_t>(v - kLengthSymbolBias);
        }
    }
    BuildDecodeTable(NC, symbolLengths_, symbols_.View());
}

void TLh5Expander::ReadBlockHeader() {
    Fill();
    const auto count = static_cast<int32_t>(Take(kBlockCountBits));
    blockRemaining_ = count == 0 ? kMaxBlockSymbols : count;
    ReadSmallTable(NT, kCodeLengthCountBits, true, lengthCodes_);
    ReadSymbolTable();
    ReadSmallTable(NP, kDistanceCountBits, false, distances_);
}

void CopyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
    const uint8_t* src = out - distance;
    uint8_t* const stop = out + length;
    if (distance >= 8) {
        // Each word reads bytes written at least eight bytes earlier.
        do {
            uint64_t w;
            std::memcpy(&w, src, 8);
            std::memcpy(out, &w, 8);
            src += 8;
            out += 8;
        } while (out < stop);
    } else if (distance == 1) {
        const uint64_t w = 0x0101010101010101ull * *src;
        do {
            std::memcpy(out, &w, 8);
            out += 8;
        } while (out < stop);
    } else {
        while (out < stop)
            *out++ = *src++;
    }
}

// Decodes until out reaches limit; a match may carry out past it.
uint8_t* TLh5Expander::DecodeSymbols(uint8_t* out, const uint8_t* limit) {
    TBitReader b = bits_;
    const TDecodeTableView symbolView = symbols_.View();
    const TDecodeTableView distanceView = distances_.View();
    int32_t blockRemaining = blockRemaining_; // a local: output stores may alias members
    while (out < limit) {
        if (blockRemaining == 0) {
            bits_ = b;
            ReadBlockHeader();
            b = bits_;
            blockRemaining = blockRemaining_;
        }
        --blockRemaining;
        b = Refill(b);
        uint32_t entry = symbolView.main[b.window >> (64 - kSymbolTableBits)];
        if (entry & kEntrySpecial) entry = ResolveEntry(symbolView, entry, b.window);
        uint32_t len = (entry >> kEntryLengthShift) & kEntryLengthMask;
        b.window <<= len;
        b.count -= len;
        const uint32_t symbol = entry & kEntrySymbolMask;
        if (symbol < static_cast<uint32_t>(kLiteralCount)) {
            *out++ = static_cast<uint8_t>(symbol);
            // Literals come in runs; a second one from the main table fits in
            // the bits this refill left (at least 48 - 16).
            entry = symbolView.main[b.window >> (64 - kSymbolTableBits)];
            if ((entry & (kEntrySpecial | 0xFF00u)) == 0 && blockRemaining != 0 && out < limit) {
                len = entry >> kEntryLengthShift;
                b.window <<= len;
                b.count -= len;
                --blockRemaining;
                *out++ = static_cast<uint8_t>(entry);
            }
            continue;
        }
        entry = distanceView.main[b.window >> (64 - kSmallTableBits)];
        if (entry & kEntrySpecial) entry = ResolveEntry(distanceView, entry, b.window);
        len = (entry >> kEntryLengthShift) & kEntryLengthMask;
        b.window <<= len;
        b.count -= len;
        const TDistanceClass cls = kDistanceClasses[entry & kEntrySymbolMask];
        // Shifting in two steps keeps a zero-bit field defined.
        const auto extra = static_cast<uint32_t>((b.window >> 1) >> (63 - cls.extraBits));
        b.window <<= cls.extraBits;
        b.count -= cls.extraBits;
        const uint32_t length = symbol - kMatchLengthBias;
        CopyMatch(out, cls.base + extra + 1, length);
        out += length;
    }
    bits_ = b;
    blockRemaining_ = blockRemaining;
    return out;
}

void TLh5Expander::Run(int32_t destSize) {
    std::fill_n(output_, kWindowSize, kWindowFill);
    bits_ = StartBitReader(state_);
    uint8_t* const start = output_ + kWindowSize;
    uint8_t* const flushMark = start + kFlushSize;
    uint8_t* out = start;
    int64_t remaining = destSize;
    for (;;) {
        const uint8_t* limit = remaining < flushMark - out ? out + remaining : flushMark;
        uint8_t* const from = out;
        out = DecodeSymbols(out, limit);
        remaining -= out - from;
        state_.WriteDestBytes(start, static_cast<size_t>(out - start));
        if (remaining <= 0) break;
        // Keep the window's history in front of the next piece.
        std::memmove(output_, out - kWindowSize, kWindowSize);
        out = start;
    }
    FinishBitReader(state_, bits_);
}

} // namespace
} // namespace lh5

void ExpandLH5(TCompThreadSafety& state, int32_t destSize) {
    if (destSize <= 0) return;
    auto expander = std::make_unique<lh5::TLh5Expander>(state);
    expander->Run(destSize);
}

} // namespace qv::payload
