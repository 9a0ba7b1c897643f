// The lh5 decoder on hand-made streams: table construction, the format's
// corner cases, and rejection of corrupt tables.
#include "payload/codec/lh5/Lh5Decoder.h"
#include "tests/unit/TestSupport.h"
#include "tests/unit/payload/Lh5TestStreams.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <string>

namespace qv::test {
namespace {

using namespace qv::payload::lh5;
using namespace qv::test::lh5;
using qv::payload::ELZHBadDecodeTable;
using qv::payload::kMethodLH5;

Bytes Expand(const Bytes& stream, int32_t size) {
    return Decode(kMethodLH5, stream, size).output;
}

// What a match appends, spaces standing in before the first byte.
void AppendMatch(Bytes& out, int length, uint32_t distanceValue) {
    for (int i = 0; i < length; ++i) {
        const int64_t from = static_cast<int64_t>(out.size()) - distanceValue - 1;
        out.push_back(from < 0 ? kWindowFill : out[static_cast<size_t>(from)]);
    }
}

Code Single(int symbol) {
    return Code{{}, symbol};
}

// Lengths 1, 2, ..., n-1, n-1: a complete code as deep as n-1 bits.
Code Staircase(const std::vector<int>& symbols, int alphabet) {
    Code c;
    c.lengths.assign(static_cast<size_t>(alphabet), 0);
    for (size_t i = 0; i < symbols.size(); ++i)
        c.lengths[static_cast<size_t>(symbols[i])] =
            static_cast<uint8_t>(std::min(i + 1, symbols.size() - 1));
    return c;
}

// The symbol a canonical code assigns to the front of a 16-bit window.
TDecodedSymbol CanonicalDecode(const std::vector<uint8_t>& lengths, uint16_t window) {
    const auto codes = CanonicalCodes(lengths);
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] != 0 && (window >> (16 - lengths[s])) == codes[s])
            return {static_cast<int>(s), lengths[s]};
    return {-1, 0};
}

struct TableCase {
    const char* name;
    std::vector<uint8_t> lengths;
    bool small;
};

TEST(Lh5DecodeTable, EveryWindowDecodesToItsCanonicalSymbol) {
    std::mt19937 rng(7);
    std::vector<int> many(NC);
    std::iota(many.begin(), many.end(), 0);
    const TableCase cases[] = {
        {"symbol codes of 1..16 bits",
         Staircase({5, 300, 0, 509, 256, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}, NC).lengths,
         false},
        {"small codes of 1..16 bits",
         Staircase({18, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, NT).lengths, true},
        {"two symbols of one bit", Staircase({3, 1}, NP).lengths, true},
        {"all 510 symbols, random depths", RandomLengths(rng, many, NC, 16), false},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        TSymbolTable big;
        TSmallTable small;
        const TDecodeTableView view = c.small ? small.View() : big.View();
        BuildDecodeTable(static_cast<int>(c.lengths.size()), c.lengths.data(), view);
        for (uint32_t w = 0; w < 65536; ++w) {
            const TDecodedSymbol want = CanonicalDecode(c.lengths, static_cast<uint16_t>(w));
            const TDecodedSymbol got = LookupSymbol(view, static_cast<uint16_t>(w));
            ASSERT_EQ(got.symbol, want.symbol) << "window " << w;
            ASSERT_EQ(got.length, want.length) << "window " << w;
        }
    }
}

TEST(Lh5DecodeTable, LengthsThatDoNotFillTheCodeSpaceAreRejected) {
    const std::vector<std::vector<uint8_t>> bad = {
        {},                                                      // nothing
        {1},                                                     // half the space
        {1, 1, 1},                                               // over-full
        {2, 2, 2, 3},                                            // a gap
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, // one 16-bit code short
        {1, 17, 17},                                             // too long
    };
    for (const auto& lengths : bad) {
        TSmallTable table;
        EXPECT_THROW(
            BuildDecodeTable(static_cast<int>(lengths.size()), lengths.data(), table.View()),
            ELZHBadDecodeTable);
    }
}

TEST(Lh5DecodeTable, SingleSymbolConsumesNoBitsAndOutsideTheAlphabetFails) {
    TSmallTable table;
    FillSingleSymbol(NP, 13, table.View());
    EXPECT_EQ(LookupSymbol(table.View(), 0xFFFF).symbol, 13);
    EXPECT_EQ(LookupSymbol(table.View(), 0x1234).length, 0);
    FillSingleSymbol(NP, NP, table.View());
    EXPECT_THROW(LookupSymbol(table.View(), 0), ELZHBadDecodeTable);
}

TEST(Lh5Expand, SingleSymbolTablesReadNoBitsButMatchesStillReadDistances) {
    BitWriter w;
    Block literals{2, Staircase({'A', 'B'}, NC), Single(0), {}};
    WriteBlockHeader(w, literals);
    WriteLiteral(w, literals, 'A');
    WriteLiteral(w, literals, 'B');
    Block matches{3, Single(3 + kMatchLengthBias), Staircase({0, 1}, NP), {}};
    WriteBlockHeader(w, matches);
    WriteDistance(w, matches.distances, 1);
    WriteDistance(w, matches.distances, 0);
    WriteDistance(w, matches.distances, 1);
    Bytes want = {'A', 'B'};
    AppendMatch(want, 3, 1);
    AppendMatch(want, 3, 0);
    AppendMatch(want, 3, 1);
    EXPECT_EQ(Expand(w.Finish(), static_cast<int32_t>(want.size())), want);

    // A literal block of one symbol is its header alone.
    BitWriter only;
    WriteBlockHeader(only, Block{1000, Single('z'), Single(0), {}});
    EXPECT_EQ(Expand(only.Finish(), 1000), Bytes(1000, 'z'));
}

TEST(Lh5Expand, MatchCornerCases) {
    struct Step {
        int length; // 0: a literal
        uint32_t value;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int32_t destSize; // 0: all of it
    };
    const Case cases[] = {
        {"distance 0 with length 256 repeats the last byte", {{0, 'x'}, {256, 0}}, 0},
        {"distances before the start copy spaces", {{4, 1}, {0, 'a'}, {5, 8191}, {7, 4000}}, 0},
        {"short distances repeat a pattern", {{0, 'a'}, {0, 'b'}, {0, 'c'}, {40, 2}, {30, 6}}, 0},
        {"long distances copy whole words", {{0, 'q'}, {0, 'r'}, {20, 1}, {256, 9}, {256, 300}}, 0},
        {"a final match past the size is copied whole", {{0, 'a'}, {0, 'b'}, {10, 1}}, 5},
    };
    std::vector<int> used;
    for (int s = 0; s < NC; ++s)
        used.push_back(s);
    std::vector<int> classes(NP);
    std::iota(classes.begin(), classes.end(), 0);
    std::mt19937 rng(3);
    const Block block{0,
                      Code{RandomLengths(rng, used, NC, 16), -1},
                      Code{RandomLengths(rng, classes, NP, 16), -1},
                      {}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        WriteBlockHeader(w, block);
        Bytes want;
        for (const Step& s : c.steps) {
            if (s.length == 0) {
                WriteLiteral(w, block, static_cast<uint8_t>(s.value));
                want.push_back(static_cast<uint8_t>(s.value));
            } else {
                WriteMatch(w, block, s.length, s.value);
                AppendMatch(want, s.length, s.value);
            }
        }
        const int32_t size = c.destSize ? c.destSize : static_cast<int32_t>(want.size());
        EXPECT_EQ(Expand(w.Finish(), size), want);
    }
}

TEST(Lh5Expand, OverflowCodesInAllThreeTables) {
    // Symbol codes of 13..16 bits, distance codes of 9..13 bits, and
    // code-length codes of 9..16 bits.
    std::vector<int> symbols;
    for (int s = 0; s < 16; ++s)
        symbols.push_back(s * 16 + 1);
    symbols.push_back(NC - 1);
    Block b{0,
            Staircase(symbols, NC),
            Staircase({13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, NP),
            {}};
    // Code-length codes: 1..13 bits for lengths 1..13, 15 and 16 bits for the rest.
    b.lengthCode.lengths.assign(NT, 16);
    for (int i = 0; i < 13; ++i)
        b.lengthCode.lengths[static_cast<size_t>(3 + i)] = static_cast<uint8_t>(i + 1);
    b.lengthCode.lengths[16] = b.lengthCode.lengths[17] = 15;
    ASSERT_NO_THROW({
        TSmallTable t;
        BuildDecodeTable(NT, b.lengthCode.lengths.data(), t.View());
    });
    BitWriter w;
    WriteBlockHeader(w, b);
    Bytes want;
    for (int s = 0; s < 16; ++s) {
        WriteLiteral(w, b, static_cast<uint8_t>(symbols[static_cast<size_t>(s)]));
        want.push_back(static_cast<uint8_t>(symbols[static_cast<size_t>(s)]));
    }
    for (uint32_t value :
         {0u, 1u, 3u, 6u, 10u, 100u, 255u, 256u, 511u, 1000u, 4095u, 4096u, 8191u}) {
        WriteMatch(w, b, 256, value);
        AppendMatch(want, 256, value);
    }
    EXPECT_EQ(Expand(w.Finish(), static_cast<int32_t>(want.size())), want);
}

TEST(Lh5Expand, BlockCountZeroMeans65536Symbols) {
    BitWriter w;
    WriteBlockHeader(w, Block{0, Single('A'), Single(0), {}});
    WriteBlockHeader(w, Block{5, Single('B'), Single(0), {}});
    Bytes want(65536 + 5, 'A');
    std::fill(want.begin() + 65536, want.end(), 'B');
    EXPECT_EQ(Expand(w.Finish(), static_cast<int32_t>(want.size())), want);
}

TEST(Lh5Expand, BitlessSymbolsAcrossSourceChunks) {
    // One-symbol blocks (52 header bits, then symbols of no bits) meet the end
    // of the first 8192-byte source chunk at every phase.
    for (uint16_t phase = 0; phase < 52; ++phase) {
        SCOPED_TRACE(phase);
        const Block lead{
            static_cast<uint16_t>(phase + 1), Staircase({'x', 'y'}, NC), Single(0), {}};
        BitWriter w;
        WriteBlockHeader(w, lead);
        Bytes want;
        for (int i = 0; i <= phase; ++i) {
            WriteLiteral(w, lead, 'y');
            want.push_back('y');
        }
        for (int i = 0; i < 1300; ++i) {
            const auto byte = static_cast<uint8_t>('a' + i % 26);
            WriteBlockHeader(w, Block{2, Single(byte), Single(0), {}});
            want.insert(want.end(), 2, byte);
        }
        ASSERT_EQ(Expand(w.Finish(), static_cast<int32_t>(want.size())), want);
    }
}

TEST(Lh5Expand, ZeroRunFieldOnlyAfterAThirdCodeLength) {
    // A code-length table of two entries has no 2-bit zero run.
    BitWriter w;
    w.Put(1, kBlockCountBits);
    w.Put(2, kCodeLengthCountBits);
    w.Put(1, 3);
    w.Put(1, 3);
    w.Put(0, kSymbolCountBits);
    w.Put('Q', kSymbolCountBits);
    w.Put(0, kDistanceCountBits);
    w.Put(0, kDistanceCountBits);
    EXPECT_EQ(Expand(w.Finish(), 1), Bytes{'Q'});
}

TEST(Lh5Expand, SizeZeroReadsNothing) {
    payload::TCompress c;
    payload::TMemoryStream src(Bytes{1, 2, 3}), dst;
    uint32_t sum = 1;
    c.RunCodec(&dst, &src, 3, 0, kMethodLH5, sum, payload::kDirectionExpand, false);
    EXPECT_EQ(src.Position(), 0);
    EXPECT_TRUE(dst.Bytes().empty());
    EXPECT_EQ(sum, 0u);
}

TEST(Lh5Expand, AnEndedSourceReadsAsZeroBits) {
    // All-zero bits: a 65536-symbol block whose every table is the single symbol 0.
    EXPECT_EQ(Expand({}, 70000), Bytes(70000, 0));
}

TEST(Lh5Expand, KeyIsRemovedBeforeDecoding) {
    std::mt19937 rng(11);
    const Bytes stream = RandomStream(rng, 50000);
    const int32_t key = 0x5A17C3E1;
    Bytes keyed = stream;
    for (size_t i = 0; i < keyed.size(); ++i)
        keyed[i] ^= static_cast<uint8_t>(static_cast<uint32_t>(key) >> (8 * (i % 4)));
    EXPECT_EQ(Decode(kMethodLH5, keyed, 50000, key, true).output, Expand(stream, 50000));
}

// Corrupt headers: each writes a block header that must be refused.
struct CorruptCase {
    const char* name;
    std::function<void(BitWriter&)> write;
};

void SingleLengthCode(BitWriter& w, int symbol) {
    w.Put(0, kCodeLengthCountBits);
    w.Put(static_cast<uint32_t>(symbol), kCodeLengthCountBits);
}

TEST(Lh5Expand, CorruptTablesRaiseBadDecodeTable) {
    const CorruptCase cases[] = {
        {"a code length of 17",
         [](BitWriter& w) {
             w.Put(3, kCodeLengthCountBits);
             w.Put(7, 3);
             w.Put(0x3FF, 10); // ten 1 bits
         }},
        {"a symbol-length count of 511",
         [](BitWriter& w) {
             SingleLengthCode(w, 4);
             w.Put(511, kSymbolCountBits);
         }},
        {"a zero run past 510",
         [](BitWriter& w) {
             SingleLengthCode(w, 2); // every code-length symbol is a long zero run
             w.Put(NC, kSymbolCountBits);
             w.Put(511, kLongRunBits); // 531 zeros
         }},
        {"symbol lengths that leave a gap",
         [](BitWriter& w) {
             SingleLengthCode(w, 4); // every length is 2
             w.Put(3, kSymbolCountBits);
         }},
        {"an over-full code-length code",
         [](BitWriter& w) {
             w.Put(3, kCodeLengthCountBits);
             w.Put(1, 3);
             w.Put(1, 3);
             w.Put(1, 3);
             w.Put(0, kZeroRunBits);
         }},
        {"a single code-length symbol outside its alphabet",
         [](BitWriter& w) {
             SingleLengthCode(w, NT);
             w.Put(5, kSymbolCountBits);
         }},
        {"a single symbol outside its alphabet",
         [](BitWriter& w) {
             SingleLengthCode(w, 0);
             w.Put(0, kSymbolCountBits);
             w.Put(NC, kSymbolCountBits);
             w.Put(0, kDistanceCountBits);
             w.Put(0, kDistanceCountBits);
         }},
        {"a single distance class outside its alphabet, used",
         [](BitWriter& w) {
             SingleLengthCode(w, 0);
             w.Put(0, kSymbolCountBits);
             w.Put(kLiteralCount, kSymbolCountBits);
             w.Put(0, kDistanceCountBits);
             w.Put(NP, kDistanceCountBits);
         }},
    };
    for (const CorruptCase& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        w.Put(100, kBlockCountBits);
        c.write(w);
        try {
            Expand(w.Finish(), 100);
            ADD_FAILURE() << "no exception";
        } catch (const ELZHBadDecodeTable& e) {
            EXPECT_EQ(std::string(e.what()), "Bad decode table in archive!");
        }
    }
}

TEST(Lh5Expand, AnUnusedSingleDistanceOutsideItsAlphabetIsHarmless) {
    BitWriter w;
    w.Put(4, kBlockCountBits);
    SingleLengthCode(w, 0);
    w.Put(0, kSymbolCountBits);
    w.Put('k', kSymbolCountBits);
    w.Put(0, kDistanceCountBits);
    w.Put(15, kDistanceCountBits);
    EXPECT_EQ(Expand(w.Finish(), 4), Bytes(4, 'k'));
}

} // namespace
} // namespace qv::test
