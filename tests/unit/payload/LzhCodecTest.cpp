// The "LZH" method through RunCodec: hand-made streams, the encoder's first
// codes, round trips, budget, key and cancel.
#include "payload/codec/lzh/LzhModel.h"
#include "tests/unit/payload/LzhTestBits.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

namespace qv::test::lzh {
namespace {

using payload::EUnableToCompress;
using payload::kMethodLZH;
using payload::TCompress;
using payload::TMemoryStream;
using payload::lzh::MatchSymbol;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

uint32_t Sum(const Bytes& b) {
    return std::accumulate(b.begin(), b.end(), 0u);
}

// The encoder without the output budget, so short or random members still
// give their coded form.
CodecResult CompressUnbounded(const Bytes& input, int32_t key = 0) {
    payload::TCompThreadSafety s;
    TMemoryStream src(input), dst;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, key, false, nullptr);
    s.outputBudget = 0x7FFFFFFF;
    payload::CompressLZH(s);
    CodecResult r{{}, s.sumRead, s.bytesWritten};
    s.Finish();
    r.output = dst.Bytes();
    return r;
}

TEST(LzhExpand, HandMadeStreams) {
    const std::string matchOf3 = "10001100";
    const struct {
        const char* name;
        std::string bits;
        Bytes expected;
    } kCases[] = {
        {"literal 0x00", "110001100", {0x00}},
        {"literal 0x20", "110101100", {0x20}},
        // Distance 1 at the start reaches into the spaces of the initial window.
        {"match of spaces", matchOf3 + "000" + "000000", Text("   ")},
        {"position 4094 at start", matchOf3 + "11111111" + "111110", {0x00, 0x00, 0x00}},
    };
    for (const auto& c : kCases) {
        const auto r =
            Decode(kMethodLZH, BitsToBytes(c.bits), static_cast<int32_t>(c.expected.size()));
        EXPECT_EQ(r.output, c.expected) << c.name;
        EXPECT_EQ(r.checksum, Sum(c.expected)) << c.name;
    }
}

TEST(LzhExpand, FarthestPositionsCopyFromAWindowBack) {
    // 4096 literals, then matches at positions 4095 (4096 back) and 4094.
    SymbolWriter w;
    Bytes expected;
    for (int i = 0; i < 4096; ++i) {
        const auto b = static_cast<uint8_t>((i * 37 + i / 256) & 0xFF);
        w.Symbol(b);
        expected.push_back(b);
    }
    w.Symbol(MatchSymbol(5));
    w.bits += "11111111" + BitsOf(63, 6);
    for (int k = 0; k < 5; ++k)
        expected.push_back(expected[expected.size() - 4096]);
    w.Symbol(MatchSymbol(3));
    w.bits += "11111111" + BitsOf(62, 6);
    for (int k = 0; k < 3; ++k)
        expected.push_back(expected[expected.size() - 4095]);
    const auto r = Decode(kMethodLZH, BitsToBytes(w.bits), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(r.output, expected);
}

TEST(LzhExpand, LastMatchIsWrittenWhole) {
    // A 60-byte match of spaces for a member of 10 bytes.
    SymbolWriter w;
    w.Symbol(MatchSymbol(60));
    w.bits += "000000000";
    EXPECT_EQ(Decode(kMethodLZH, BitsToBytes(w.bits), 10).output, Bytes(60, 0x20));
}

TEST(LzhExpand, SizeZeroReadsNothing) {
    TCompress c;
    TMemoryStream src(Bytes{0xFF, 0xFF, 0xFF}), dst;
    uint32_t checksum = 7;
    c.RunCodec(&dst, &src, 3, 0, kMethodLZH, checksum, payload::kDirectionExpand, false);
    EXPECT_EQ(src.Position(), 0);
    EXPECT_TRUE(dst.Bytes().empty());
    EXPECT_EQ(checksum, 0u);
}

TEST(LzhExpand, EndedOrCancelledSourceStillGivesTheFullSize) {
    const int32_t size = 100000;
    for (const Bytes& stored : {Bytes{}, Bytes{0x12, 0x34}, RandomBytes(20000)}) {
        const auto n = Decode(kMethodLZH, stored, size).output.size();
        EXPECT_GE(n, static_cast<size_t>(size));
        EXPECT_LT(n, static_cast<size_t>(size + 60));
    }
    TCompress c;
    c.OnShowProgress = [](int32_t& percent) {
        if (percent > 0 && percent < 100) percent = -1;
    };
    const Bytes stored = CompressUnbounded(TextLike(50000)).output;
    TMemoryStream src(stored), dst;
    uint32_t checksum = 0;
    c.RunCodec(&dst, &src, static_cast<int32_t>(stored.size()), size, kMethodLZH, checksum,
               payload::kDirectionExpand, false);
    EXPECT_GE(dst.Bytes().size(), static_cast<size_t>(size));
}

TEST(LzhCompress, EmptyMemberGivesNothing) {
    const auto r = Encode(kMethodLZH, {});
    EXPECT_TRUE(r.output.empty());
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(r.checksum, 0u);
}

TEST(LzhCompress, FirstCodes) {
    const struct {
        const char* name;
        Bytes input;
        std::string prefix;
    } kCases[] = {
        {"literal 0x00", Bytes(300, 0x00), "110001100"},
        {"literal 0x20", Text(" " + std::string(300, 'x')), "110101100"},
        // All 60 initial positions match three spaces; the nearest wins.
        {"match of 3 spaces", Text("   " + std::string(300, 'a')),
         "10001100"
         "000"
         "000000"},
    };
    for (const auto& c : kCases) {
        const auto r = Encode(kMethodLZH, c.input);
        EXPECT_EQ(BytesToBits(r.output, c.prefix.size()), c.prefix) << c.name;
        EXPECT_EQ(Decode(kMethodLZH, r.output, static_cast<int32_t>(c.input.size())).output,
                  c.input)
            << c.name;
    }
}

TEST(LzhCompress, LeadingSpacesAreOneMatch) {
    // 60 spaces: one symbol of length 60 at distance 1, then the zero padding.
    SymbolWriter w;
    w.Symbol(MatchSymbol(60));
    w.bits += "000000000";
    EXPECT_EQ(Encode(kMethodLZH, Bytes(60, 0x20)).output, BitsToBytes(w.bits));
}

TEST(LzhCompress, BothSidesRebuildAtTheSameSymbol) {
    // Zeros: a literal, then matches of 60 at distance 1 and a last one of 19:
    // 33335 symbols, so the rebuild at the 32455th falls in the middle.
    const Bytes zeros(2000000, 0x00);
    SymbolWriter w;
    w.Symbol(0x00);
    for (int n = 0; n < 33333; ++n) {
        w.Symbol(MatchSymbol(60));
        w.bits += "000000000";
    }
    w.Symbol(MatchSymbol(19));
    w.bits += "000000000";
    const auto packed = Encode(kMethodLZH, zeros);
    EXPECT_TRUE(packed.output == BitsToBytes(w.bits));
    EXPECT_TRUE(Decode(kMethodLZH, packed.output, static_cast<int32_t>(zeros.size())).output ==
                zeros);
}

TEST(LzhCompress, RandomDataCannotBeCompressed) {
    EXPECT_THROW(Encode(kMethodLZH, RandomBytes(100000)), EUnableToCompress);
    EXPECT_THROW(Encode(kMethodLZH, {0x41}), EUnableToCompress);
}

struct RoundTripCase {
    const char* name;
    std::function<Bytes()> make;
};

class LzhRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(LzhRoundTrip, ExpandsToTheSourceWithEqualChecksums) {
    const Bytes input = GetParam().make();
    for (const int32_t key : {0, 0x5A17C3E9}) {
        const auto packed = CompressUnbounded(input, key);
        EXPECT_EQ(packed.checksum, Sum(input));
        const auto r =
            Decode(kMethodLZH, packed.output, static_cast<int32_t>(input.size()), key, key != 0);
        ASSERT_EQ(r.output.size(), input.size()) << "key " << key;
        EXPECT_TRUE(r.output == input) << "key " << key;
        EXPECT_EQ(r.checksum, packed.checksum);
        if (packed.output.size() <= input.size()) {
            EXPECT_EQ(Encode(kMethodLZH, input, key).output, packed.output);
        }
    }
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Lzh, LzhRoundTrip,
    ::testing::Values(RoundTripCase{"one_byte", [] { return Bytes{0x7F}; }},
                      RoundTripCase{"two_bytes",
                                    [] {
                                        return Bytes{0x20, 0x20};
                                    }},
                      RoundTripCase{"text_59", [] { return TextLike(59); }},
                      RoundTripCase{"text_61", [] { return TextLike(61); }},
                      RoundTripCase{"text_4097", [] { return TextLike(4097, 3); }},
                      RoundTripCase{"text_300k", [] { return TextLike(300000, 4); }},
                      RoundTripCase{"binary_200k", [] { return BinaryLike(200000, 5); }},
                      RoundTripCase{"random_70k", [] { return RandomBytes(70000, 6); }},
                      RoundTripCase{"zeros_1m", [] { return Bytes(1 << 20, 0x00); }},
                      RoundTripCase{"spaces_100k", [] { return Bytes(100000, 0x20); }},
                      RoundTripCase{"mixed_3m",
                                    [] {
                                        return Concat({TextLike(1 << 20, 7), Bytes(5000, 0xFF),
                                                       BinaryLike(1 << 20, 8),
                                                       RandomBytes(100000, 9),
                                                       TextLike(900000, 10)});
                                    }}),
    [](const ::testing::TestParamInfo<RoundTripCase>& param) {
        return std::string(param.param.name);
    });

} // namespace
} // namespace qv::test::lzh
