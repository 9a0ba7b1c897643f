#include "Lh5MatchTrie.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qv::payload::lh5 {

namespace {
constexpr uint16_t kPositionMask = 0x7FFF;

uint64_t LoadWord(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

void Lh5MatchTrie::Clear() {
    std::memset(nodes_, 0, sizeof nodes_);
    std::memset(nextLinks_, 0, sizeof nextLinks_);
    for (int32_t c = 0; c < 256; ++c)
        level_(Root(static_cast<uint8_t>(c))) = 1;
    // Inner nodes 1..8191 free, in order.
    for (int32_t i = 1; i < kWindowSize - 1; ++i)
        next_(i) = static_cast<uint16_t>(i + 1);
    next_(kWindowSize - 1) = 0;
    freeNode_ = 1;
    matchLength = 0;
    matchPosition = 0;
}

int32_t Lh5MatchTrie::FindChild(int32_t q, uint8_t c) {
    int32_t r = next_(Hash(q, c));
    parent_(0) = static_cast<uint16_t>(q); // stops the walk at the end of the list
    while (parent_(r) != q)
        r = next_(r);
    return r;
}

void Lh5MatchTrie::Attach(int32_t q, uint8_t c, int32_t r) {
    const int32_t h = Hash(q, c);
    const int32_t head = next_(h);
    next_(h) = static_cast<uint16_t>(r);
    next_(r) = static_cast<uint16_t>(head);
    prev_(head) = static_cast<uint16_t>(r);
    prev_(r) = static_cast<uint16_t>(h);
    parent_(r) = static_cast<uint16_t>(q);
    ++childCount_(q);
}

// newNode takes oldNode's place in oldNode's child list.
void Lh5MatchTrie::TakePlace(int32_t newNode, int32_t oldNode) {
    const int32_t before = prev_(oldNode);
    const int32_t after = next_(oldNode);
    prev_(newNode) = static_cast<uint16_t>(before);
    next_(before) = static_cast<uint16_t>(newNode);
    next_(newNode) = static_cast<uint16_t>(after);
    prev_(after) = static_cast<uint16_t>(newNode);
}

void Lh5MatchTrie::Unlink(int32_t node) {
    const int32_t before = prev_(node);
    const int32_t after = next_(node);
    next_(before) = static_cast<uint16_t>(after);
    prev_(after) = static_cast<uint16_t>(before);
}

void Lh5MatchTrie::Split(int32_t old, int32_t pos) {
    const int32_t n = freeNode_;
    freeNode_ = next_(n);
    childCount_(n) = 0;
    TakePlace(n, old);
    parent_(n) = parent_(old);
    level_(n) = static_cast<uint8_t>(matchLength);
    position_(n) = static_cast<uint16_t>(pos);
    Attach(n, text[matchPosition + matchLength], old);
    Attach(n, text[pos + matchLength], pos);
}

// The leaf's chain link keeps pointing to its replacement, so a later walk
// from the old position still finds the live leaf.
void Lh5MatchTrie::ReplaceLeaf(int32_t leaf, int32_t q, int32_t pos) {
    TakePlace(pos, leaf);
    parent_(pos) = static_cast<uint16_t>(q);
    parent_(leaf) = 0;
    next_(leaf) = static_cast<uint16_t>(pos);
}

// The string at pos shares all but its first byte of the previous match with
// the string after the previous match position: start from that leaf and
// climb to the deepest node shallower than the shortened match.
int32_t Lh5MatchTrie::ClimbFromPreviousMatch(int32_t pos) {
    --matchLength;
    int32_t r = (matchPosition + 1) | kWindowSize;
    int32_t q;
    while ((q = parent_(r)) == 0)
        r = next_(r);
    while (level_(q) >= matchLength) {
        r = q;
        q = parent_(q);
    }
    // Ancestors waiting for a newer position get this one; the first one
    // that was up to date keeps the flag for its own ancestors.
    int32_t t = q;
    while (position_(t) & kPassUpFlag) {
        position_(t) = static_cast<uint16_t>(pos);
        t = parent_(t);
    }
    if (IsInner(t)) position_(t) = static_cast<uint16_t>(pos | kPassUpFlag);
    return r;
}

// Length of the common prefix of the strings at pos and from, known to agree
// on their first matchLength bytes, not beyond limit.
int32_t Lh5MatchTrie::CommonLength(int32_t pos, int32_t from, int32_t limit) const {
    int32_t len = matchLength;
    if constexpr (std::endian::native == std::endian::little) {
        while (len < limit) {
            const uint64_t diff = LoadWord(text + pos + len) ^ LoadWord(text + from + len);
            if (diff != 0) {
                len += std::countr_zero(diff) / 8;
                return len < limit ? len : limit;
            }
            len += 8;
        }
        return limit;
    } else {
        while (len < limit && text[pos + len] == text[from + len])
            ++len;
        return len;
    }
}

void Lh5MatchTrie::Insert(int32_t pos) {
    int32_t q;
    int32_t r;
    if (matchLength >= 4) {
        r = ClimbFromPreviousMatch(pos);
        q = parent_(r);
    } else {
        q = Root(text[pos]);
        const uint8_t c = text[pos + 1];
        r = FindChild(q, c);
        if (r == 0) {
            Attach(q, c, pos);
            matchLength = 1;
            return;
        }
        matchLength = 2;
    }
    for (;;) {
        int32_t limit;
        if (IsInner(r)) {
            limit = level_(r);
            matchPosition = position_(r) & kPositionMask;
        } else {
            limit = kMaxMatch;
            matchPosition = r;
        }
        matchPosition = Unslid(matchPosition, pos);
        const int32_t common = CommonLength(pos, matchPosition, limit);
        if (common < limit) {
            matchLength = common;
            Split(r, pos);
            return;
        }
        matchLength = limit;
        if (matchLength >= kMaxMatch) break;
        position_(r) = static_cast<uint16_t>(pos);
        q = r;
        const uint8_t c = text[pos + matchLength];
        r = FindChild(q, c);
        if (r == 0) {
            Attach(q, c, pos);
            return;
        }
        ++matchLength;
    }
    ReplaceLeaf(r, q, pos);
}

// A node left with one child is removed and its child moves up; the newest
// position recorded on the way is passed to the ancestors first.
void Lh5MatchTrie::DeleteLeaf(int32_t pos) {
    if (parent_(pos) == 0) return;
    Unlink(pos);
    const int32_t r = parent_(pos);
    parent_(pos) = 0;
    if (!IsInner(r)) return;
    if (--childCount_(r) > 1) return;
    RefreshAncestors(r, pos);
    const int32_t t = Unslid(position_(r) & kPositionMask, pos);
    const int32_t s = FindChild(r, text[t + level_(r)]);
    Unlink(s);
    TakePlace(s, r);
    parent_(s) = parent_(r);
    parent_(r) = 0;
    next_(r) = static_cast<uint16_t>(freeNode_);
    freeNode_ = r;
}

// One call per position keeps the whole step in one inlined body.
[[gnu::flatten]] void Lh5MatchTrie::Replace(int32_t pos) {
    DeleteLeaf(pos);
    Insert(pos);
}

void Lh5MatchTrie::RefreshAncestors(int32_t r, int32_t pos) {
    int32_t newest = Unslid(position_(r) & kPositionMask, pos);
    int32_t q = parent_(r);
    uint16_t stored;
    while ((stored = position_(q)) & kPassUpFlag) {
        newest = std::max(newest, Unslid(stored & kPositionMask, pos));
        position_(q) = static_cast<uint16_t>(newest | kWindowSize);
        q = parent_(q);
    }
    if (IsInner(q)) {
        newest = std::max(newest, Unslid(stored, pos));
        position_(q) = static_cast<uint16_t>(newest | kWindowSize | kPassUpFlag);
    }
}

} // namespace qv::payload::lh5
