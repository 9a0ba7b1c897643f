// The encoder's match trees: the stored prefix lengths stay true through
// inserts and removals, and the walk finds the longest match in the window.
#include "payload/codec/lzh/LzhMatchTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace qv::test::lzh {
namespace {

using namespace payload::lzh;

class SlidingWindow {
public:
    SlidingWindow() : tree(text) {
        std::memset(text, 0, sizeof text);
        std::memset(text, kInitialFill, kStartPosition);
        tree.Clear();
    }
    // Stores the byte the way the encoder does: at s and in the mirror.
    void Store(int at, uint8_t b) {
        text[at] = b;
        if (at < kMaxMatch - 1) text[at + kWindowSize] = b;
    }
    // Removes the oldest position, takes in one byte, inserts the newest.
    void Slide(uint8_t b) {
        tree.Remove(s);
        Store(s, b);
        s = (s + 1) & kWindowMask;
        r = (r + 1) & kWindowMask;
        tree.Insert(r);
    }
    // The longest common prefix of r with any position in the trees.
    int LongestByComparison() const {
        int best = 0;
        for (int q = 0; q < kWindowSize; ++q) {
            if (q == r || !tree.Contains(q)) continue;
            int n = 0;
            while (n < kMaxMatch && text[q + n] == text[r + n])
                ++n;
            best = std::max(best, n);
        }
        return best >= kMinMatch ? best : 0;
    }

    uint8_t text[kTextSize] = {};
    TLzhMatchTree tree;
    int s = 0;
    int r = kStartPosition;
};

TEST(LzhMatchTree, FindsTheLongestMatchAndKeepsPrefixLengths) {
    // A small alphabet with repeats gives deep trees, long shared prefixes and
    // every kind of removal.
    std::mt19937 rng(42);
    SlidingWindow w;
    for (int i = 0; i < kMaxMatch; ++i)
        w.Store(w.r + i, static_cast<uint8_t>('a' + rng() % 3));
    for (int back = kMaxMatch; back >= 0; --back)
        w.tree.Insert(w.r - back);
    std::vector<uint8_t> recent;
    for (int step = 0; step < 12000; ++step) {
        uint8_t b;
        if (step % 500 < 80 && recent.size() > 100)
            b = recent[recent.size() - 1 - rng() % 100]; // echoes of recent input
        else
            b = static_cast<uint8_t>('a' + rng() % (step % 3000 < 1500 ? 2 : 4));
        recent.push_back(b);
        w.Slide(b);
        ASSERT_EQ(w.tree.matchLength < kMinMatch ? 0 : w.tree.matchLength, w.LongestByComparison())
            << "step " << step;
        if (step % 97 == 0) {
            ASSERT_TRUE(w.tree.IsConsistent()) << "step " << step;
        }
    }
    EXPECT_TRUE(w.tree.IsConsistent());
}

TEST(LzhMatchTree, AFullMatchReplacesTheOlderPosition) {
    SlidingWindow w;
    for (int i = 0; i < kTextSize; ++i)
        w.text[i] = 'x';
    w.tree.Insert(100);
    for (int p = 101; p < 110; ++p) {
        w.tree.Insert(p);
        EXPECT_EQ(w.tree.matchLength, kMaxMatch);
        EXPECT_EQ(w.tree.matchPosition, 0); // distance 1
        EXPECT_FALSE(w.tree.Contains(p - 1));
        EXPECT_TRUE(w.tree.Contains(p));
    }
    EXPECT_TRUE(w.tree.IsConsistent());
}

TEST(LzhMatchTree, EqualLengthsPreferTheNearerPosition) {
    // "abcY" at 40 shares three bytes with "abcX" and "abcZ", which lie on its
    // path in either insertion order; the one at 20 is nearer (position 19).
    const struct {
        int first;
        int second;
    } kOrders[] = {{10, 20}, {20, 10}};
    for (const auto& order : kOrders) {
        SlidingWindow w;
        std::memcpy(w.text + 10, order.first == 10 ? "abcX" : "abcZ", 4);
        std::memcpy(w.text + 20, order.first == 10 ? "abcZ" : "abcX", 4);
        std::memcpy(w.text + 40, "abcY", 4);
        w.tree.Insert(order.first);
        w.tree.Insert(order.second);
        w.tree.Insert(40);
        EXPECT_EQ(w.tree.matchLength, 3);
        EXPECT_EQ(w.tree.matchPosition, 19) << "first " << order.first;
    }
}

} // namespace
} // namespace qv::test::lzh
