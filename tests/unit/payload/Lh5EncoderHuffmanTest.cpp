// Huffman construction of the lh5 encoder: tie rules, leaf order, the
// single-symbol form, and the 16-bit length limit.
#include "payload/codec/lh5/HuffmanBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace qv::payload::lh5 {
namespace {

struct Built {
    int root = 0;
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> codes;
};

Built Build(const std::vector<uint16_t>& frequencies) {
    const int n = static_cast<int>(frequencies.size());
    std::vector<uint16_t> freq(frequencies);
    freq.resize(static_cast<size_t>(2 * n - 1), 0);
    Built b;
    b.lengths.assign(static_cast<size_t>(n), 0xFF);
    b.codes.assign(static_cast<size_t>(n), 0xFFFF);
    static HuffmanScratch scratch;
    b.root = BuildHuffmanCode(n, freq.data(), b.lengths.data(), b.codes.data(), scratch);
    return b;
}

// The codes fill the 16-bit code space exactly and are canonical: ordered by
// length, then by symbol number.
void ExpectCompleteCanonical(const Built& b) {
    uint32_t space = 0;
    std::vector<int> used;
    for (size_t s = 0; s < b.lengths.size(); ++s) {
        if (b.lengths[s] == 0) continue;
        EXPECT_LE(b.lengths[s], 16);
        space += 1u << (16 - b.lengths[s]);
        used.push_back(static_cast<int>(s));
    }
    EXPECT_EQ(space, 65536u);
    std::stable_sort(used.begin(), used.end(),
                     [&](int x, int y) { return b.lengths[x] < b.lengths[y]; });
    uint32_t next = 0;
    for (int s : used) {
        EXPECT_EQ(b.codes[s], next) << "symbol " << s;
        next += 1u << (16 - b.lengths[s]);
    }
}

TEST(Lh5Huffman, FewerThanTwoSymbolsGiveTheSingleForm) {
    const auto none = Build(std::vector<uint16_t>(14, 0));
    EXPECT_EQ(none.root, 0);
    const auto one = Build({0, 0, 7, 0});
    EXPECT_EQ(one.root, 2);
    EXPECT_EQ(one.codes[2], 0);
    EXPECT_EQ(one.lengths, (std::vector<uint8_t>{0, 0, 0, 0}));
}

struct KnownCode {
    std::vector<uint16_t> freq;
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> codes;
};

class Lh5HuffmanKnown : public ::testing::TestWithParam<KnownCode> {};

TEST_P(Lh5HuffmanKnown, GivesTheseLengthsAndCodes) {
    const auto& k = GetParam();
    const auto b = Build(k.freq);
    EXPECT_GE(b.root, static_cast<int>(k.freq.size()));
    EXPECT_EQ(b.lengths, k.lengths);
    for (size_t s = 0; s < k.codes.size(); ++s) {
        if (k.lengths[s] != 0) {
            EXPECT_EQ(b.codes[s], k.codes[s]) << s;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Lh5HuffmanKnown,
    ::testing::Values(
        KnownCode{{5, 0, 9}, {1, 0, 1}, {0x0000, 0, 0x8000}},
        KnownCode{{3, 1, 1}, {1, 2, 2}, {0x0000, 0x8000, 0xC000}},
        // Equal frequencies: symbols 0 and 2 leave the heap first (the last
        // entry moves to the top and stays before an equal child), so they
        // get the longer codes, not the lowest numbers' order.
        KnownCode{{1, 1, 1}, {2, 1, 2}, {0x8000, 0x0000, 0xC000}},
        KnownCode{{4, 4, 4, 4}, {2, 2, 2, 2}, {0x0000, 0x4000, 0x8000, 0xC000}},
        KnownCode{{1, 2, 4, 8, 16}, {4, 4, 3, 2, 1}, {0xE000, 0xF000, 0xC000, 0x8000, 0x0000}}));

TEST(Lh5Huffman, DeepTreesAreLimitedToSixteenBits) {
    // Fibonacci frequencies make a tree as deep as there are symbols.
    std::vector<uint16_t> freq(24);
    freq[0] = freq[1] = 1;
    for (size_t i = 2; i < freq.size(); ++i)
        freq[i] = static_cast<uint16_t>(freq[i - 1] + freq[i - 2]);
    const auto b = Build(freq);
    EXPECT_EQ(*std::max_element(b.lengths.begin(), b.lengths.end()), 16);
    ExpectCompleteCanonical(b);
    // A more frequent symbol never gets a longer code.
    for (size_t i = 1; i < freq.size(); ++i)
        EXPECT_LE(b.lengths[i], b.lengths[i - 1]) << i;
}

TEST(Lh5Huffman, RandomFrequenciesGiveCompleteCanonicalCodes) {
    std::mt19937 rng(11);
    for (int n : {14, 19, 510}) {
        for (int round = 0; round < 30; ++round) {
            std::vector<uint16_t> freq(static_cast<size_t>(n), 0);
            const int used = 2 + static_cast<int>(rng() % static_cast<uint32_t>(n - 1));
            for (int i = 0; i < used; ++i) {
                // Skewed: many rare symbols and a few very common ones.
                const uint32_t shift = rng() % 12;
                freq[rng() % static_cast<uint32_t>(n)] =
                    static_cast<uint16_t>(1 + (rng() % 3) * (1u << shift));
            }
            const auto b = Build(freq);
            for (size_t s = 0; s < freq.size(); ++s)
                EXPECT_EQ(b.lengths[s] == 0, freq[s] == 0);
            if (b.root >= n) ExpectCompleteCanonical(b);
        }
    }
}

} // namespace
} // namespace qv::payload::lh5
