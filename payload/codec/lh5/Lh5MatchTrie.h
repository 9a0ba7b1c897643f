#pragma once
// The lh5 encoder's match finder: a path-compressed trie of the strings that
// start at each window position, one root per first byte, children found
// through hashed lists. Inserting a position yields its longest earlier
// match (up to 256 bytes) in time proportional to the match length.
//
// Node numbers: 1..8191 inner nodes, 8192 + c the root of first byte c, and a
// leaf is the text position (8192..16383) whose string it stands for. After a
// slide a stored position at or above the current one means itself minus
// 8192. The exact node bookkeeping matters: the match position it reports
// decides the stored bytes.

#include "Lh5Encoder.h"

#include <cstdint>

namespace qv::payload::lh5 {

class Lh5MatchTrie {
public:
    // Sized so that every value a link can hold is a valid index.
    static constexpr int32_t kNodeCount = kWindowSize + 256; // inner nodes and roots
    // Nodes, then the heads of the hashed child lists (the largest hash is
    // that of the last root and byte 255).
    static constexpr int32_t kLinkCount = kTextPositions + (kNodeCount - 1) + 255 * 16 + 1;

    // An empty trie; text contents are left to the caller.
    void Clear();

    // Moves the window on to pos: the string leaving the window there is
    // removed and the new one inserted.
    void Replace(int32_t pos);

    // Removes the leaf of the string that is leaving the window at pos.
    void DeleteLeaf(int32_t pos);
    // Inserts pos, updating matchLength and matchPosition. Uses the previous
    // matchLength and matchPosition (those of pos - 1) as a shortcut.
    void Insert(int32_t pos);

    uint8_t text[kTextSize + kTextPadding];
    int32_t matchLength = 0;
    int32_t matchPosition = 0;

private:
    static constexpr uint16_t kPassUpFlag = 0x8000;
    static constexpr int32_t kHashBase = kTextPositions;

    static int32_t Hash(int32_t q, uint8_t c) { return q + c * 16 + kHashBase; }
    static int32_t Root(uint8_t c) { return kWindowSize + c; }
    static bool IsInner(int32_t node) { return node < kWindowSize; }
    // Undoes the slide for a stored position.
    static int32_t Unslid(int32_t stored, int32_t pos) {
        return stored - (stored >= pos ? kWindowSize : 0);
    }

    int32_t FindChild(int32_t q, uint8_t c);
    void Attach(int32_t q, uint8_t c, int32_t r);
    void TakePlace(int32_t newNode, int32_t oldNode);
    void Unlink(int32_t node);
    void Split(int32_t old, int32_t pos);
    void ReplaceLeaf(int32_t leaf, int32_t q, int32_t pos);
    int32_t ClimbFromPreviousMatch(int32_t pos);
    int32_t CommonLength(int32_t pos, int32_t from, int32_t limit) const;
    void RefreshAncestors(int32_t r, int32_t pos);

    // The per-node fields a walk reads together share one record; the
    // forward links live apart so that the hashed list heads pack densely
    // into a few cache lines. position, level and child count are used by
    // inner nodes and roots only, prev and parent by inner nodes and leaves.
    struct Node {
        uint16_t prev;
        uint16_t parent;
        uint16_t position;
        uint8_t level;
        uint8_t childCount;
    };

    uint16_t& next_(int32_t i) { return nextLinks_[i]; }
    uint16_t& prev_(int32_t i) { return nodes_[i].prev; }
    uint16_t& parent_(int32_t i) { return nodes_[i].parent; }
    uint16_t& position_(int32_t i) { return nodes_[i].position; }
    uint8_t& level_(int32_t i) { return nodes_[i].level; }
    uint8_t& childCount_(int32_t i) { return nodes_[i].childCount; }

    Node nodes_[kTextPositions];
    uint16_t nextLinks_[kLinkCount];
    int32_t freeNode_ = 0;
};

} // namespace qv::payload::lh5
