#pragma once
// The adaptive Huffman model of the "LZH" method: literals 0..255 and match
// lengths 3..60 share one tree that both coder and decoder update after every
// symbol, so the two sides always hold the same codes.

#include <cstdint>

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

constexpr int MatchSymbol(int length) {
    return 256 + length - kMinMatch;
}
constexpr int MatchLength(int symbol) {
    return symbol - 256 + kMinMatch;
}

struct TLzhModel {
    // Node frequencies in non-decreasing order; the extra entry is a sentinel
    // that stops the upward search of Update.
    uint16_t freq[kNodeCount + 1];
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

template <class OnSwap> bool TLzhModel::Update(int symbol, OnSwap&& swapped) {
    const bool rebuilt = freq[kRoot] == kRebuildFrequency;
    if (rebuilt) Rebuild();
    unsigned c = prnt[symbol + kLeafBase];
    do {
        const unsigned k = ++freq[c];
        if (k > freq[c + 1]) {
            // Move the node past the run of lower frequencies so the order holds.
            unsigned l = c + 1;
            while (k > freq[++l]) {
            }
            --l;
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
