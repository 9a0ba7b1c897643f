#include "LzhMatchTree.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace qv::payload::lzh {

namespace {
constexpr int kHashBuckets = 16;
constexpr int kBytesPerWord = 8;
} // namespace

void TLzhMatchTree::Clear() {
    std::fill(std::begin(right_), std::end(right_), kNil);
    std::fill(std::begin(left_), std::end(left_), kNil);
    std::fill(std::begin(parent_), std::end(parent_), kNil);
    std::fill(std::begin(same_), std::end(same_), uint8_t{0});
}

int TLzhMatchTree::RootOf(const uint8_t* key) {
    const unsigned h = key[1] ^ key[2];
    return kRootBase + key[0] + 256 * static_cast<int>((h ^ (h >> 4)) & (kHashBuckets - 1));
}

[[gnu::always_inline]] inline int TLzhMatchTree::CommonPrefix(int a, int b, int from,
                                                              int& sign) const {
    const uint8_t* pa = text_ + a;
    const uint8_t* pb = text_ + b;
    int i = from;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + kBytesPerWord <= kMaxMatch; i += kBytesPerWord) {
            uint64_t x, y;
            std::memcpy(&x, pa + i, sizeof x);
            std::memcpy(&y, pb + i, sizeof y);
            if (x != y) {
                i += std::countr_zero(x ^ y) / 8;
                sign = pa[i] < pb[i] ? -1 : 1;
                return i;
            }
        }
    }
    for (; i < kMaxMatch; ++i) {
        if (pa[i] != pb[i]) {
            sign = pa[i] < pb[i] ? -1 : 1;
            return i;
        }
    }
    sign = 0;
    return kMaxMatch;
}

uint8_t TLzhMatchTree::DerivePrefix(int x, int z, int xy, int yz) const {
    if (IsRoot(static_cast<unsigned>(z))) return 0; // not used below a root
    // lcp(x, z) >= min(lcp(x, y), lcp(y, z)), with equality when they differ.
    if (xy != yz) return static_cast<uint8_t>(std::min(xy, yz));
    int sign;
    return static_cast<uint8_t>(CommonPrefix(x, z, xy, sign));
}

[[gnu::always_inline]] inline void TLzhMatchTree::Record(int length, int node, int r) {
    if (length < kMinMatch) return;
    const int position = ((r - node) & kWindowMask) - 1;
    if (length > matchLength) {
        matchLength = length;
        matchPosition = position;
    } else if (length == matchLength && position < matchPosition) {
        matchPosition = position;
    }
}

void TLzhMatchTree::Attach(int parent, bool asRight, int r, int prefix) {
    (asRight ? right_ : left_)[parent] = static_cast<uint16_t>(r);
    parent_[r] = static_cast<uint16_t>(parent);
    same_[r] = static_cast<uint8_t>(prefix);
}

// r's string equals old's in all 60 bytes: r takes old's place, so the
// younger position is kept and the tree does not grow.
void TLzhMatchTree::TakeOver(int old, int r) {
    const unsigned up = parent_[old];
    parent_[r] = static_cast<uint16_t>(up);
    left_[r] = left_[old];
    right_[r] = right_[old];
    same_[r] = same_[old];
    parent_[left_[old]] = static_cast<uint16_t>(r);
    parent_[right_[old]] = static_cast<uint16_t>(r);
    if (right_[up] == old)
        right_[up] = static_cast<uint16_t>(r);
    else
        left_[up] = static_cast<uint16_t>(r);
    parent_[old] = kNil;
}

void TLzhMatchTree::Insert(int r) {
    left_[r] = right_[r] = kNil;
    matchLength = 0;
    const int root = RootOf(text_ + r);
    int p = right_[root];
    if (p == kNil) {
        Attach(root, true, r, 0);
        return;
    }
    int sign;
    int common = CommonPrefix(r, p, 1, sign);
    Record(common, p, r);
    for (;;) {
        if (common >= kMaxMatch) {
            TakeOver(p, r);
            return;
        }
        const bool goRight = sign > 0;
        const int q = goRight ? right_[p] : left_[p];
        if (q == kNil) {
            Attach(p, goRight, r, common);
            return;
        }
        const int shared = same_[q];
        if (shared < common) {
            // r agrees with p beyond where q leaves p, so r lies on p's side of q.
            common = shared;
            sign = goRight ? -1 : 1;
        } else if (shared > common) {
            // q agrees with p where r leaves p: same common length, same side.
            Record(common, q, r);
        } else {
            common = CommonPrefix(r, q, common, sign);
            Record(common, q, r);
        }
        p = q;
    }
}

void TLzhMatchTree::Remove(int p) {
    const int up = parent_[p];
    if (up == kNil) return;
    const int upPrefix = same_[p];
    int q;
    uint8_t qPrefix = 0;
    if (right_[p] == kNil || left_[p] == kNil) {
        q = right_[p] == kNil ? left_[p] : right_[p];
        if (q != kNil) qPrefix = DerivePrefix(q, up, same_[q], upPrefix);
    } else {
        // Two children: the rightmost node of the left subtree takes p's place.
        const int leftChild = left_[p];
        const int rightChild = right_[p];
        q = leftChild;
        int qWithP;
        if (right_[q] != kNil) {
            do {
                q = right_[q];
            } while (right_[q] != kNil);
            int sign;
            qWithP = CommonPrefix(q, p, 1, sign);
            const int y = parent_[q];
            const int orphan = left_[q];
            right_[y] = static_cast<uint16_t>(orphan);
            parent_[orphan] = static_cast<uint16_t>(y);
            if (orphan != kNil) same_[orphan] = DerivePrefix(orphan, y, same_[orphan], same_[q]);
            left_[q] = static_cast<uint16_t>(leftChild);
            parent_[leftChild] = static_cast<uint16_t>(q);
            same_[leftChild] = DerivePrefix(leftChild, q, same_[leftChild], qWithP);
        } else {
            qWithP = same_[q];
        }
        right_[q] = static_cast<uint16_t>(rightChild);
        parent_[rightChild] = static_cast<uint16_t>(q);
        same_[rightChild] = DerivePrefix(rightChild, q, same_[rightChild], qWithP);
        qPrefix = DerivePrefix(q, up, qWithP, upPrefix);
    }
    if (q != kNil) {
        parent_[q] = static_cast<uint16_t>(up);
        same_[q] = qPrefix;
    }
    if (right_[up] == p)
        right_[up] = static_cast<uint16_t>(q);
    else
        left_[up] = static_cast<uint16_t>(q);
    parent_[p] = kNil;
}

bool TLzhMatchTree::IsConsistent() const {
    for (int p = 0; p < kWindowSize; ++p) {
        const int up = parent_[p];
        if (up == kNil) continue;
        int sign;
        if (IsRoot(static_cast<unsigned>(up))) {
            if (right_[up] != p || RootOf(text_ + p) != up) return false;
            continue;
        }
        const bool isRight = right_[up] == p;
        if (!isRight && left_[up] != p) return false;
        if (same_[p] != CommonPrefix(p, up, 1, sign)) return false;
        if ((sign > 0) != isRight || sign == 0) return false;
    }
    // In-order walk of each tree: strictly increasing strings.
    std::vector<int> stack;
    for (int root = kRootBase; root < kRootBase + kRootCount; ++root) {
        int previous = -1;
        int node = right_[root];
        while (node != kNil || !stack.empty()) {
            while (node != kNil) {
                if (parent_[node] == kNil) return false;
                stack.push_back(node);
                node = left_[node];
            }
            node = stack.back();
            stack.pop_back();
            int sign;
            if (previous >= 0 && (CommonPrefix(previous, node, 1, sign), sign >= 0)) return false;
            if (RootOf(text_ + node) != root) return false;
            previous = node;
            node = right_[node];
        }
    }
    return true;
}

} // namespace qv::payload::lzh
