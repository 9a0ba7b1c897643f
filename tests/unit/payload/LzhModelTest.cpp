// The adaptive model and the fixed position code of the "LZH" method.
#include "payload/codec/lzh/LzhModel.h"
#include "payload/codec/lzh/LzhPositionCode.h"
#include "tests/unit/payload/LzhTestBits.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::test::lzh {
namespace {

using payload::lzh::kLeafBase;
using payload::lzh::kNodeCount;
using payload::lzh::kPositionTables;
using payload::lzh::kRoot;
using payload::lzh::kSymbolCount;
using payload::lzh::TLzhModel;

// Frequencies in order, every inner node the sum of its children, and the
// parent and leaf links agreeing with the son links.
::testing::AssertionResult IsSoundTree(const TLzhModel& m) {
    for (int i = 0; i + 1 < kNodeCount; ++i)
        if (m.freq[i] > m.freq[i + 1]) return ::testing::AssertionFailure() << "order at " << i;
    for (int i = 0; i < kNodeCount; ++i) {
        const int s = m.son[i];
        if (s >= kLeafBase) {
            if (m.prnt[s] != i) return ::testing::AssertionFailure() << "leaf link " << i;
        } else if (m.prnt[s] != i || m.prnt[s + 1] != i || m.freq[i] != m.freq[s] + m.freq[s + 1]) {
            return ::testing::AssertionFailure() << "inner node " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

std::string CodeText(const TLzhModel& m, int symbol) {
    const auto code = m.CodeOf(symbol);
    return BitsOf(code.bits, code.length);
}

TEST(LzhModel, InitialCodes) {
    TLzhModel m;
    m.Init();
    EXPECT_EQ(CodeText(m, 0x00), "110001100");
    EXPECT_EQ(CodeText(m, 0x20), "110101100");
    EXPECT_EQ(CodeText(m, 256), "10001100");
    for (int s = 0; s < kSymbolCount; ++s)
        EXPECT_EQ(m.CodeOf(s).length, s < 116 ? 9 : 8) << "symbol " << s;
    EXPECT_EQ(m.freq[kRoot], kSymbolCount);
    EXPECT_TRUE(IsSoundTree(m));
}

TEST(LzhModel, RebuildsWhenTheRootReaches32768) {
    TLzhModel m;
    m.Init();
    // 32454 updates bring the root from 314 to 32768; the next one rebuilds.
    for (int n = 0; n < 32454; ++n)
        m.Update(0);
    EXPECT_EQ(m.freq[kRoot], 32768u);
    EXPECT_EQ(m.freq[m.prnt[kLeafBase]], 32455u);
    m.Update(0);
    // Halved: symbol 0 to (32455 + 1) / 2, the other 313 symbols stay at 1.
    EXPECT_EQ(m.freq[m.prnt[kLeafBase]], 16228u + 1u);
    EXPECT_EQ(m.freq[kRoot], 16228u + 313u + 1u);
    EXPECT_TRUE(IsSoundTree(m));
}

TEST(LzhModel, StaysSoundThroughSwapsAndRebuilds) {
    TLzhModel m;
    m.Init();
    uint32_t x = 12345;
    for (int n = 0; n < 80000; ++n) {
        x = x * 1103515245u + 12345u;
        // Skewed towards a few symbols so that codes grow long and nodes swap.
        const int symbol =
            static_cast<int>((x >> 16) % 4 == 0 ? (x >> 8) % kSymbolCount : (x >> 20) % 8);
        m.Update(symbol);
        if (n % 211 == 0 || m.freq[kRoot] == 32768u) {
            ASSERT_TRUE(IsSoundTree(m)) << n;
        }
    }
}

// The textbook form of the update: a linear search for the end of the run.
void PlainUpdate(TLzhModel& m, int symbol) {
    if (m.freq[kRoot] == 0x8000u) m.Rebuild();
    unsigned c = m.prnt[symbol + kLeafBase];
    do {
        const unsigned k = ++m.freq[c];
        if (k > m.freq[c + 1]) {
            unsigned l = c + 1;
            while (k > m.freq[l + 1])
                ++l;
            m.freq[c] = m.freq[l];
            m.freq[l] = static_cast<uint16_t>(k);
            const unsigned i = m.son[c];
            m.prnt[i] = static_cast<uint16_t>(l);
            if (i < static_cast<unsigned>(kLeafBase)) m.prnt[i + 1] = static_cast<uint16_t>(l);
            const unsigned j = m.son[l];
            m.son[l] = static_cast<uint16_t>(i);
            m.prnt[j] = static_cast<uint16_t>(c);
            if (j < static_cast<unsigned>(kLeafBase)) m.prnt[j + 1] = static_cast<uint16_t>(c);
            m.son[c] = static_cast<uint16_t>(j);
            c = l;
        }
        c = m.prnt[c];
    } while (c != 0);
}

// Runs of every length, from the flat start's long ones to single nodes.
TEST(LzhModel, UpdateEqualsThePlainUpdate) {
    TLzhModel fast, plain;
    fast.Init();
    plain.Init();
    uint32_t x = 777;
    for (int n = 0; n < 150000; ++n) {
        x = x * 1103515245u + 12345u;
        const int spread = n % 3 == 0 ? kSymbolCount : 24;
        const int symbol = static_cast<int>((x >> 12) % static_cast<uint32_t>(spread));
        fast.Update(symbol);
        PlainUpdate(plain, symbol);
        ASSERT_EQ(0, std::memcmp(fast.freq, plain.freq, sizeof(uint16_t) * kNodeCount)) << n;
        ASSERT_EQ(0, std::memcmp(fast.son, plain.son, sizeof fast.son)) << n;
        ASSERT_EQ(0, std::memcmp(fast.prnt, plain.prnt, sizeof fast.prnt)) << n;
    }
}

TEST(LzhPositionCode, CanonicalCodes) {
    const struct {
        int upper;
        const char* code;
    } kCases[] = {{0, "000"},      {1, "0010"},     {2, "0011"},      {3, "0100"},
                  {4, "01010"},    {11, "10001"},   {12, "100100"},   {23, "101111"},
                  {24, "1100000"}, {47, "1110111"}, {48, "11110000"}, {63, "11111111"}};
    for (const auto& c : kCases)
        EXPECT_EQ(BitsOf(kPositionTables.code[c.upper], kPositionTables.length[c.upper]), c.code)
            << c.upper;
}

TEST(LzhPositionCode, DecoderTablesInvertTheCode) {
    for (int peek = 0; peek < 256; ++peek) {
        const int u = kPositionTables.upperOf[peek];
        const int len = kPositionTables.lengthOf[peek];
        ASSERT_EQ(len, kPositionTables.length[u]);
        EXPECT_EQ(peek >> (8 - len), kPositionTables.code[u]) << peek;
    }
}

} // namespace
} // namespace qv::test::lzh
