#pragma once
// The adaptive Huffman model of the "LZH" method: literals 0..255 and match
// lengths 3..60 share one tree that both coder and decoder update after every
// symbol, so the two sides always hold the same codes.

#include <bit>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::payload::lzh {

inline constexpr int kWindowSize = 4096;
inline constexpr int kWindowMask = kWindowSize - 1;
inline constexpr int kMaxMatch = 60;
inline constexpr int kMinMatch = 3;
// Coding starts here; everything before it is the space-filled initial window.
inline constexpr int kStartPosition = kWindowSize - kMaxMatch;
inline constexpr uint8_t kInitialFill = 0x20;

inline constexpr int kSymbolCount = 256 + kMaxMatch - kMinMatch + 1; // 314
inline constexpr int kNodeCount = 2 * kSymbolCount - 1;              // 627
inline constexpr int kRoot = kNodeCount - 1;                         // 626
// son[] entries at or above this are leaves: symbol + kNodeCount.
inline constexpr int kLeafBase = kNodeCount;
inline constexpr unsigned kRebuildFrequency = 0x8000;
// Sentinel frequencies after the root, so a block read of frequencies past
// any node stays inside the array and stops at the sentinels.
inline constexpr int kFrequencyLanes = 8;
inline constexpr int kFrequencyPadding = 2 * kFrequencyLanes;

constexpr int MatchSymbol(int length) {
    return 256 + length - kMinMatch;
}
constexpr int MatchLength(int symbol) {
    return symbol - 256 + kMinMatch;
}

struct TLzhModel {
    // Node frequencies in non-decreasing order; the extra entries are
    // sentinels that stop the upward search of Update.
    uint16_t freq[kNodeCount + kFrequencyPadding];
    // First child of an inner node (the second is the next index), or
    // symbol + kLeafBase for a leaf.
    uint16_t son[kNodeCount];
    // Parent of each node, then (from kLeafBase on) the leaf node of each symbol.
    uint16_t prnt[kNodeCount + kSymbolCount];

    // The flat starting tree: every symbol with frequency 1.
    void Init();
    // Counts one more occurrence of the symbol, keeping the frequency order.
    // Returns true when the tree was rebuilt first; every swap of two nodes'
    // subtrees is reported to swapped(c, l) after it is done.
    template <class OnSwap> bool Update(int symbol, OnSwap&& swapped);
    bool Update(int symbol) {
        return Update(symbol, [](unsigned, unsigned) {});
    }
    // Halves the leaf frequencies and builds the inner nodes anew.
    void Rebuild();

    // The last node after c whose frequency is below k; freq[c + 1] is.
    unsigned RunEnd(unsigned c, unsigned k) const;

    // The symbol's code, root side in the high bits, and its length in bits.
    struct Code {
        uint64_t bits;
        int length;
    };
    Code CodeOf(int symbol) const;
};

constexpr bool IsLeaf(unsigned sonEntry) {
    return sonEntry >= static_cast<unsigned>(kLeafBase);
}

// Runs are short (mostly under 16 nodes) but of unpredictable length, so
// they are measured a block of frequencies at a time instead of in a loop
// whose exit the processor keeps mispredicting.
inline unsigned TLzhModel::RunEnd(unsigned c, unsigned k) const {
    unsigned l = c;
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi16(static_cast<short>(k));
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        // A lane is non-zero after the saturating subtraction where freq < k;
        // the order makes those lanes a prefix of the block.
        const auto* p = reinterpret_cast<const __m128i*>(&freq[l + 1]);
        const __m128i lo = _mm_subs_epu16(limit, _mm_loadu_si128(p));
        const __m128i hi = _mm_subs_epu16(limit, _mm_loadu_si128(p + 1));
        const auto below = static_cast<uint32_t>(~_mm_movemask_epi8(
            _mm_packs_epi16(_mm_cmpeq_epi16(lo, zero), _mm_cmpeq_epi16(hi, zero))));
        const auto run = static_cast<unsigned>(std::countr_one(below & 0xFFFFu));
        l += run;
        if (run < 2 * kFrequencyLanes) return l;
    }
#else
    while (k > freq[l + 1])
        ++l;
    return l;
#endif
}

template <class OnSwap> bool TLzhModel::Update(int symbol, OnSwap&& swapped) {
    const bool rebuilt = freq[kRoot] == kRebuildFrequency;
    if (rebuilt) Rebuild();
    unsigned c = prnt[symbol + kLeafBase];
    do {
        const unsigned k = ++freq[c];
        if (k > freq[c + 1]) {
            // Move the node past the run of lower frequencies so the order holds.
            const unsigned l = RunEnd(c, k);
            freq[c] = freq[l];
            freq[l] = static_cast<uint16_t>(k);

            const unsigned i = son[c];
            prnt[i] = static_cast<uint16_t>(l);
            if (!IsLeaf(i)) prnt[i + 1] = static_cast<uint16_t>(l);
            const unsigned j = son[l];
            son[l] = static_cast<uint16_t>(i);
            prnt[j] = static_cast<uint16_t>(c);
            if (!IsLeaf(j)) prnt[j + 1] = static_cast<uint16_t>(c);
            son[c] = static_cast<uint16_t>(j);
            swapped(c, l);
            c = l;
        }
        c = prnt[c];
    } while (c != 0);
    return rebuilt;
}

} // namespace qv::payload::lzh
