#pragma once
// Internals of the lh5 decoder that tests reach directly: the decode tables.
//
// A table entry holds the symbol and its code length together, so one lookup
// and one shift decode a symbol. Codes longer than the table's index bits
// continue in a subtable indexed by the remaining bits of the 16-bit code.

#include "Lh5Format.h"

#include <cstdint>

namespace qv::payload::lh5 {

inline constexpr uint32_t kEntrySymbolMask = 0xFFFF;
inline constexpr int kEntryLengthShift = 16;
inline constexpr uint32_t kEntryLengthMask = 0x1F;
// The code is longer than the main table's bits: the symbol field holds the
// offset of the subtable for the bits that follow.
inline constexpr uint32_t kEntrySubtable = 1u << 30;
// The table's single symbol lies outside the alphabet: decoding it fails.
inline constexpr uint32_t kEntryInvalid = 1u << 31;
// Either flag: the entry needs the slow path.
inline constexpr uint32_t kEntrySpecial = kEntrySubtable | kEntryInvalid;

// Where a decode table lives; subtables have 2^(16 - bits) entries each.
struct TDecodeTableView {
    uint32_t* main = nullptr;
    int bits = 0;
    uint32_t* sub = nullptr;
    int subCapacity = 0;
};

template <int Bits, int MaxSymbols> struct TDecodeTable {
    static constexpr int kSubBits = kMaxCodeLength - Bits;
    // A full code puts at least two codes under every overflowing prefix.
    static constexpr int kMaxSubtables = MaxSymbols / 2;
    uint32_t main[1 << Bits];
    uint32_t sub[kMaxSubtables << kSubBits];
    TDecodeTableView View() { return {main, Bits, sub, kMaxSubtables}; }
};
using TSymbolTable = TDecodeTable<kSymbolTableBits, NC>;
using TSmallTable = TDecodeTable<kSmallTableBits, NT>;

// Builds the canonical code of symbolCount lengths (0 = absent). Lengths must
// fill the 16-bit code space exactly; otherwise raises ELZHBadDecodeTable.
void BuildDecodeTable(int symbolCount, const uint8_t* lengths, const TDecodeTableView& table);

// A table sent as one symbol: every lookup yields it and consumes no bits.
void FillSingleSymbol(int symbolCount, int symbol, const TDecodeTableView& table);

struct TDecodedSymbol {
    int symbol = 0;
    int length = 0; // bits consumed
};

// Decodes the symbol at the front of a left-aligned 16-bit window; raises
// ELZHBadDecodeTable for an invalid single symbol.
TDecodedSymbol LookupSymbol(const TDecodeTableView& table, uint16_t window);

} // namespace qv::payload::lh5
