#pragma once
// The "LZH" encoder's match finder: binary search trees over the window
// positions, ordered by the 60-byte strings that start there. Strings that
// share their first three bytes meet in one of 4096 hashed trees, which keeps
// each tree small. Every node stores the prefix length it shares with its
// parent so that the walk skips comparisons whose outcome is already known.

#include "LzhModel.h"

#include <cstdint>

namespace qv::payload::lzh {

// The window plus a mirror of its first 59 bytes, so that a 60-byte string
// never wraps.
inline constexpr int kTextSize = kWindowSize + kMaxMatch - 1;

class TLzhMatchTree {
public:
    static constexpr uint16_t kNil = kWindowSize;
    static constexpr int kRootBase = kWindowSize + 1;
    static constexpr int kRootCount = 4096;

    explicit TLzhMatchTree(const uint8_t* text) : text_(text) {}

    // Empties every tree.
    void Clear();
    // Adds position r and leaves its longest match in matchLength and
    // matchPosition (a length below 3 means none).
    void Insert(int r);
    // Takes position p out of its tree; a position not in a tree is ignored.
    void Remove(int p);

    int matchLength = 0;
    // Distance - 1 of the match.
    int matchPosition = 0;

    // For tests: every parent link, child order and stored prefix length agrees
    // with the strings.
    bool IsConsistent() const;
    bool Contains(int p) const { return parent_[p] != kNil; }

private:
    static int RootOf(const uint8_t* key);
    static bool IsRoot(unsigned node) { return node >= static_cast<unsigned>(kRootBase); }

    // Length of the common prefix of two positions' strings, known to agree
    // on their first `from` bytes; sign receives the order of a against b.
    int CommonPrefix(int a, int b, int from, int& sign) const;
    // The prefix length of x with z, from x's with y and y's with z.
    uint8_t DerivePrefix(int x, int z, int xy, int yz) const;
    void Record(int length, int node, int r);
    void TakeOver(int old, int r);
    void Attach(int parent, bool asRight, int r, int prefix);

    const uint8_t* text_;
    uint16_t left_[kWindowSize + 1];
    uint16_t right_[kRootBase + kRootCount];
    uint16_t parent_[kWindowSize + 1];
    uint8_t same_[kWindowSize + 1];
};

} // namespace qv::payload::lzh
