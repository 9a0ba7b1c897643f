// The lh5 encoder: exact stored forms of small members, the items it chooses
// for runs and member ends, the output budget, round trips through the
// decoder and re-encoding of peer streams made by the same steps.
#include "tests/unit/TestSupport.h"
#include "tests/unit/payload/Lh5EncoderTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <string>

namespace qv::test {
namespace {

using lh5enc::CompressLh5WithBudget;
using lh5enc::ParseLh5Stream;
using lh5enc::ReplayItems;
using payload::EUnableToCompress;
using payload::kMethodLH5;

constexpr int32_t kKey = 0x5A3C9E17;

uint32_t Sum(const Bytes& b) {
    return std::accumulate(b.begin(), b.end(), 0u);
}

TEST(Lh5Encoder, EmptyMemberWritesNothing) {
    const auto r = Encode(kMethodLH5, {});
    EXPECT_EQ(r.written, 0);
    EXPECT_TRUE(r.output.empty());
    EXPECT_EQ(r.checksum, 0u);
}

TEST(Lh5Encoder, OneByteMemberIsSevenBytesAndRefusedByTheBudget) {
    EXPECT_THROW(Encode(kMethodLH5, {0x41}), EUnableToCompress);
    // Count 1, the single-symbol forms of the three tables, no bits for the
    // symbol itself: 52 bits.
    EXPECT_EQ(CompressLh5WithBudget({0x41}), (Bytes{0x00, 0x01, 0x00, 0x00, 0x04, 0x10, 0x00}));
}

TEST(Lh5Encoder, LongRunIsOneLiteralThenFullMatchesAtDistanceZero) {
    const Bytes run(5000, 0x78);
    const Bytes stored = CompressLh5WithBudget(run);
    const auto blocks = ParseLh5Stream(stored, run.size());
    ASSERT_EQ(blocks.size(), 1u);
    const auto& items = blocks[0].items;
    ASSERT_EQ(items.size(), 21u); // 1 + 19 x 256 + 135
    EXPECT_EQ(items[0].symbol, 0x78);
    for (size_t i = 1; i < 20; ++i) {
        EXPECT_EQ(items[i].Length(), 256) << i;
        EXPECT_EQ(items[i].distance, 0) << i;
    }
    EXPECT_EQ(items[20].Length(), 135);
    EXPECT_EQ(items[20].distance, 0);
    EXPECT_TRUE(blocks[0].singleDistance);
    EXPECT_EQ(Decode(kMethodLH5, stored, 5000).output, run);
}

// Members ending inside a run or a repeat: the last match is cut to the bytes
// left, never reaches before the start, and the items cover the member
// exactly.
TEST(Lh5Encoder, MatchesStayInsideTheMember) {
    std::vector<Bytes> inputs;
    for (size_t n : {3u, 4u, 5u, 255u, 256u, 257u, 258u, 259u, 600u, 8191u, 8448u, 20000u})
        inputs.push_back(Bytes(n, 0x00));
    for (size_t n : {10u, 300u, 8190u, 8449u, 16640u, 40000u}) {
        Bytes b = TextLike(n, static_cast<uint32_t>(n));
        b.insert(b.end(), b.begin(), b.begin() + static_cast<long>(n / 2)); // repeat at the end
        inputs.push_back(b);
    }
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.size());
        const auto blocks = ParseLh5Stream(CompressLh5WithBudget(input), input.size());
        size_t covered = 0;
        for (const auto& block : blocks) {
            EXPECT_EQ(block.count, static_cast<int>(block.items.size()));
            for (const auto& item : block.items)
                covered += static_cast<size_t>(item.Length());
        }
        EXPECT_EQ(covered, input.size());
        EXPECT_EQ(ReplayItems(blocks), input);
    }
}

TEST(Lh5Encoder, LargeMembersAreSplitIntoBlocks) {
    const Bytes input = BinaryLike(300000, 3);
    const auto blocks = ParseLh5Stream(CompressLh5WithBudget(input), input.size());
    EXPECT_GT(blocks.size(), 2u);
    // A block holds what fits in 16 KiB of collected items.
    for (const auto& block : blocks)
        EXPECT_LE(block.count, 16384 * 8 / 9 + 8);
    EXPECT_EQ(ReplayItems(blocks), input);
}

// The budget stops the encoder as soon as the stored form outgrows the
// member, and a stored form exactly as long as the budget is accepted.
TEST(Lh5Encoder, BudgetIsExact) {
    for (const Bytes& input : {TextLike(3000, 2), BinaryLike(60000, 4), TextLike(200000, 5)}) {
        const Bytes full = CompressLh5WithBudget(input);
        const auto size = static_cast<int32_t>(full.size());
        EXPECT_EQ(CompressLh5WithBudget(input, size), full);
        EXPECT_THROW(CompressLh5WithBudget(input, size - 1), EUnableToCompress);
    }
}

TEST(Lh5Encoder, IncompressibleDataIsRefused) {
    EXPECT_THROW(Encode(kMethodLH5, RandomBytes(100000, 9)), EUnableToCompress);
    EXPECT_THROW(Encode(kMethodLH5, {1, 2}), EUnableToCompress);
}

TEST(Lh5Encoder, KeyAppliesToTheStoredBytes) {
    const Bytes input = TextLike(50000, 6);
    const Bytes plain = Encode(kMethodLH5, input).output;
    const Bytes keyed = Encode(kMethodLH5, input, kKey).output;
    ASSERT_EQ(plain.size(), keyed.size());
    for (size_t i = 0; i < plain.size(); ++i)
        ASSERT_EQ(keyed[i], plain[i] ^ static_cast<uint8_t>(kKey >> (8 * (i % 4)))) << i;
}

struct RoundTripCase {
    const char* kind;
    size_t size;
    int32_t key;
};

Bytes MakeInput(const RoundTripCase& c) {
    const std::string kind = c.kind;
    const auto salt = static_cast<uint32_t>(c.size + 1);
    if (kind == "text") return TextLike(c.size, salt);
    if (kind == "binary") return BinaryLike(c.size, salt);
    if (kind == "random") return RandomBytes(c.size, salt);
    return Bytes(c.size, 0xE5);
}

class Lh5RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Through RunCodec when the stored form is shorter, else straight through
// the encoder without budget; either way the decoder gives the member back
// with the checksum of the compression.
TEST_P(Lh5RoundTrip, DecodesToTheSameBytes) {
    const auto& c = GetParam();
    const Bytes input = MakeInput(c);
    Bytes stored;
    try {
        const auto r = Encode(kMethodLH5, input, c.key);
        EXPECT_EQ(r.checksum, Sum(input));
        EXPECT_EQ(r.written, static_cast<int32_t>(r.output.size()));
        stored = r.output;
    } catch (const EUnableToCompress&) {
        stored = CompressLh5WithBudget(input, 0x7FFFFFFF, c.key);
        EXPECT_GT(stored.size(), input.size());
    }
    const auto d =
        Decode(kMethodLH5, stored, static_cast<int32_t>(input.size()), c.key, c.key != 0);
    EXPECT_EQ(d.output, input);
    EXPECT_EQ(d.checksum, Sum(input));
}

std::vector<RoundTripCase> RoundTripCases() {
    std::vector<RoundTripCase> cases;
    for (const char* kind : {"text", "binary", "random", "constant"})
        for (size_t size : {0u, 1u, 2u, 8191u, 8192u, 8193u, 16383u, 16384u, 16385u, 100000u})
            for (int32_t key : {0, kKey})
                cases.push_back({kind, size, key});
    cases.push_back({"text", 2500000, 0});
    cases.push_back({"binary", 2500000, kKey});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, Lh5RoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const ::testing::TestParamInfo<RoundTripCase>& p) {
                             return std::string(p.param.kind) + "_" + std::to_string(p.param.size) +
                                    (p.param.key ? "_keyed" : "");
                         });

// Several programs in the peer corpus build their streams with the same steps
// as this encoder; their originals must re-encode to the very same bytes.
TEST(Lh5Encoder, ReEncodesPeerStreamsBitExact) {
    struct Peer {
        const char* file;
        int32_t size;
    };
    const Peer peers[] = {{"lha213__lh5__0.lh5", 18092},
                          {"lha213__lh5_long__0.lh5", 1241658},
                          {"lharc_atari_313a__shorter__0.lh5", 286015},
                          {"maclha_224__l0_lh5__0.lh5", 18304},
                          {"lha_osk_201__h2_lh5__0.lh5", 18092},
                          {"lh2_222__eas__2.lh5", 505}};
    for (const auto& peer : peers) {
        const std::string path = CorpusDir() + "/" + peer.file;
        if (!std::ifstream(path).good()) GTEST_SKIP() << "peer corpus not found: " << path;
        SCOPED_TRACE(peer.file);
        const Bytes stream = ReadFileBytes(path);
        const Bytes original = Decode(kMethodLH5, stream, peer.size).output;
        ASSERT_EQ(original.size(), static_cast<size_t>(peer.size));
        EXPECT_EQ(Encode(kMethodLH5, original).output, stream);
    }
}

} // namespace
} // namespace qv::test
