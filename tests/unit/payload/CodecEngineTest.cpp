// The codec engine and the two simple methods: RLE vectors, budget, key,
// progress and cancel, checksums.
#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qv::test {
namespace {

using payload::EUnableToCompress;
using payload::kMethodNON;
using payload::kMethodRLE;
using payload::TCompress;
using payload::TMemoryStream;

Bytes Repeat(uint8_t b, size_t n) {
    return Bytes(n, b);
}

// The run-length coder without the output budget, to see stored forms that
// are longer than their source.
Bytes CompressRleUnbounded(const Bytes& input) {
    payload::TCompThreadSafety s;
    TMemoryStream src(input), dst;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, 0, false, nullptr);
    s.outputBudget = 0x7FFFFFFF;
    payload::CompressRLE(s);
    s.Finish();
    return dst.Bytes();
}

struct RleVector {
    const char* name;
    Bytes plain;
    Bytes stored;
};

class RleVectors : public ::testing::TestWithParam<RleVector> {};

TEST_P(RleVectors, CompressesToTheStoredFormAndBack) {
    const auto& v = GetParam();
    EXPECT_EQ(CompressRleUnbounded(v.plain), v.stored);
    if (v.stored.size() <= v.plain.size())
        EXPECT_EQ(Encode(kMethodRLE, v.plain).output, v.stored);
    else
        EXPECT_THROW(Encode(kMethodRLE, v.plain), EUnableToCompress);
    EXPECT_EQ(Decode(kMethodRLE, v.stored, static_cast<int32_t>(v.plain.size())).output, v.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, RleVectors,
    ::testing::Values(RleVector{"escape_pair", {0x94, 0x94}, {0x94, 0x00, 0x94, 0x00}},
                      RleVector{"five", Repeat(0x41, 5), {0x41, 0x94, 0x05}},
                      RleVector{"two", Repeat(0x41, 2), {0x41, 0x41}},
                      RleVector{"three", Repeat(0x41, 3), {0x41, 0x94, 0x03}},
                      RleVector{
                          "three_hundred", Repeat(0x41, 300), {0x41, 0x94, 0xFF, 0x41, 0x94, 0x2D}},
                      RleVector{"leading_zeros", {0x00, 0x00, 0x00, 0x00}, {0x00, 0x94, 0x04}},
                      RleVector{"zero_pair_at_start", {0x00, 0x00}, {0x00, 0x00}},
                      RleVector{"run_then_escape", {7, 7, 7, 0x94}, {7, 0x94, 3, 0x94, 0}},
                      RleVector{"empty", {}, {}}),
    [](const auto& p) { return p.param.name; });

// The coder written as plainly as the rules read, to hold the buffered one to.
Bytes ReferenceRle(const Bytes& in) {
    Bytes out;
    uint8_t prev = 0;
    bool inRun = false, atStart = true;
    int count = 0;
    auto literal = [&](uint8_t b) {
        out.push_back(b);
        if (b == 0x94) out.push_back(0);
    };
    auto endRun = [&] {
        if (count >= 3)
            out.insert(out.end(), {0x94, static_cast<uint8_t>(count)});
        else if (count == 2)
            out.push_back(prev);
        inRun = false;
    };
    for (uint8_t b : in) {
        if (inRun) {
            if (b == prev && count < 255)
                ++count;
            else {
                endRun();
                literal(b);
                prev = b;
            }
        } else {
            if (b != 0x94 && b == prev && !atStart) {
                inRun = true;
                count = 2;
            } else
                literal(b);
            prev = b;
        }
        atStart = false;
    }
    if (inRun) endRun();
    return out;
}

TEST(RleCompress, MatchesTheByteWiseRulesAcrossBufferBoundaries) {
    std::mt19937 rng(5);
    for (int round = 0; round < 40; ++round) {
        const uint8_t alphabet[] = {0x94, 0x41, 0x00, static_cast<uint8_t>(rng())};
        Bytes data(1 + rng() % 40000);
        size_t i = 0;
        while (i < data.size()) {
            const uint8_t b = alphabet[rng() % (2 + round % 3)];
            const size_t run = rng() % 4 == 0 ? rng() % 700 : 1;
            for (size_t k = 0; k < run && i < data.size(); ++k)
                data[i++] = b;
        }
        EXPECT_EQ(CompressRleUnbounded(data), ReferenceRle(data)) << round;
        const Bytes stored = ReferenceRle(data);
        EXPECT_EQ(Decode(kMethodRLE, stored, static_cast<int32_t>(data.size())).output, data)
            << round;
    }
}

TEST(RleExpand, TrailingEscapeGivesTheEscapeByteAndRepeatFollowsTokens) {
    EXPECT_EQ(Decode(kMethodRLE, {0x41, 0x94}, 2).output, (Bytes{0x41, 0x94}));
    // After an escape token the repeat byte is 0x94 itself.
    EXPECT_EQ(Decode(kMethodRLE, {0x41, 0x94, 0x00, 0x94, 0x03}, 4).output,
              (Bytes{0x41, 0x94, 0x94, 0x94}));
    // The repeat byte starts as 0x00.
    EXPECT_EQ(Decode(kMethodRLE, {0x94, 0x04}, 3).output, (Bytes{0, 0, 0}));
}

TEST(Engine, SourceSizeZeroWritesNothingWithChecksumZero) {
    for (uint8_t m : {uint8_t(0), uint8_t(1), uint8_t(2), uint8_t(4)}) {
        auto r = Encode(m, {});
        EXPECT_TRUE(r.output.empty()) << int(m);
        EXPECT_EQ(r.checksum, 0u);
        EXPECT_EQ(r.written, 0);
    }
}

TEST(Engine, BudgetAllowsExactLengthAndStopsOneByteLater) {
    // "ab\x94" codes to 4 bytes: one more than the source.
    EXPECT_THROW(Encode(kMethodRLE, {'a', 'b', 0x94}), EUnableToCompress);
    // A coded form exactly as long as the source is accepted.
    auto r = Encode(kMethodRLE, {'a', 'b', 'c'});
    EXPECT_EQ(r.written, 3);
    EXPECT_EQ(r.output, (Bytes{'a', 'b', 'c'}));
    try {
        Encode(kMethodRLE, {0x94});
        FAIL();
    } catch (const EUnableToCompress& e) {
        EXPECT_STREQ(e.what(), "Could not compress data, will store instead");
    }
}

TEST(Engine, KeyedStoreCyclesThroughKeyBytesLeastSignificantFirst) {
    const int32_t key = 0x44332211;
    auto r = Encode(kMethodNON, Bytes(5, 0), key);
    EXPECT_EQ(r.output, (Bytes{0x11, 0x22, 0x33, 0x44, 0x11}));
    EXPECT_EQ(r.checksum, 0u);
    // Expansion removes the key only when the member says it is keyed.
    EXPECT_EQ(Decode(kMethodNON, r.output, 5, key, true).output, Bytes(5, 0));
    EXPECT_EQ(Decode(kMethodNON, r.output, 5, key, false).output, r.output);
}

TEST(Engine, RoundTripsWithAndWithoutKeyKeepTheChecksum) {
    const Bytes data = TextLike(50000, 3);
    for (int32_t key : {0, 0x12345678, -7}) {
        for (uint8_t m : {kMethodNON, kMethodRLE}) {
            auto enc = Encode(m, data, key);
            auto dec = Decode(m, enc.output, static_cast<int32_t>(data.size()), key, key != 0);
            EXPECT_EQ(dec.output, data);
            EXPECT_EQ(dec.checksum, enc.checksum);
        }
    }
}

TEST(Engine, UnknownMethodRunsNothing) {
    uint32_t checksum = 99;
    TCompress c;
    TMemoryStream src(Bytes(10, 1)), dst;
    EXPECT_EQ(c.RunCodec(&dst, &src, 10, 0, 3, checksum, 0, false), 0);
    EXPECT_EQ(checksum, 0u);
    EXPECT_EQ(c.RunCodec(&dst, &src, 10, 0, 9, checksum, 1, false), 0);
    EXPECT_TRUE(dst.Bytes().empty());
}

TEST(Engine, ProgressPerChunkWithBothFormulas) {
    for (size_t size : {size_t(20000), size_t(300000)}) {
        TCompress c;
        std::vector<int32_t> seen;
        c.OnShowProgress = [&](int32_t& p) { seen.push_back(p); };
        TMemoryStream src(Bytes(size, 'x')), dst;
        uint32_t sum = 0;
        c.RunCodec(&dst, &src, static_cast<int32_t>(size), 0, kMethodNON, sum, 0, false);
        std::vector<int32_t> expected{0};
        const int32_t total = static_cast<int32_t>(size);
        for (int32_t done = 8192;; done += 8192) {
            if (done > total) done = total;
            expected.push_back(total <= 100000 ? done * 100 / total : done / (total / 100));
            if (done == total) break;
        }
        expected.push_back(100);
        EXPECT_EQ(seen, expected) << size;
    }
}

TEST(Engine, CancelBeforeStartDoesNothing) {
    TCompress c;
    c.OnShowProgress = [](int32_t& p) { p = -1; };
    TMemoryStream src(Bytes(100, 'x')), dst;
    uint32_t sum = 1234;
    EXPECT_EQ(c.RunCodec(&dst, &src, 100, 0, kMethodNON, sum, 0, false), 0);
    EXPECT_EQ(sum, 1234u);
    EXPECT_EQ(src.Position(), 0);
}

// A cancel at the second chunk: only the first chunk is taken, written and
// summed, whichever codec reads it. The data has no runs, and its one escape
// ends the first chunk, so the run-length expander meets the cancel while it
// reads a count (and gives the escape byte, as at the end of the source).
TEST(Engine, CancelDuringTransferTakesNothingMoreAndSumsOnlyWhatWasTaken) {
    Bytes data(40000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i % 128);
    data[8191] = 0x94;
    const Bytes taken(data.begin(), data.begin() + 8192);
    const struct {
        uint8_t method, direction;
        bool plainOutput;
    } kCases[] = {{kMethodNON, 0, true},           {kMethodNON, 1, true},
                  {kMethodRLE, 0, false},          {kMethodRLE, 1, true},
                  {payload::kMethodLZH, 0, false}, {payload::kMethodLH5, 0, false}};
    for (const auto& k : kCases) {
        TCompress c;
        int calls = 0;
        c.OnShowProgress = [&](int32_t& p) {
            if (++calls == 3) p = -1;
        };
        TMemoryStream src(data), dst;
        uint32_t sum = 0;
        c.RunCodec(&dst, &src, static_cast<int32_t>(data.size()), 0, k.method, sum, k.direction,
                   false);
        const auto label = std::to_string(k.method) + "/" + std::to_string(k.direction);
        EXPECT_EQ(sum, payload::SumBytes(taken.data(), taken.size())) << label;
        if (k.plainOutput) {
            EXPECT_EQ(dst.Bytes(), taken) << label;
        }
    }
}

// Both LZ decoders share one reader: after a cancel at the second chunk it
// asks for nothing more, and the member decodes as if its source had ended
// after the first chunk (zero bits up to the full size).
TEST(Engine, CancelledLzExpansionReadsNothingMoreAndGoesOnWithZeroBits) {
    const Bytes plain = TextLike(200000);
    const auto plainSize = static_cast<int32_t>(plain.size());
    for (const uint8_t method : {payload::kMethodLZH, payload::kMethodLH5}) {
        const Bytes stored = Encode(method, plain).output;
        ASSERT_GT(stored.size(), 3u * 8192) << int{method};
        const Bytes firstChunk(stored.begin(), stored.begin() + 8192);
        TCompress c;
        int calls = 0;
        c.OnShowProgress = [&](int32_t& p) {
            if (++calls == 3) p = -1;
        };
        TMemoryStream src(stored), dst;
        uint32_t sum = 0;
        c.RunCodec(&dst, &src, static_cast<int32_t>(stored.size()), plainSize, method, sum,
                   payload::kDirectionExpand, false);
        EXPECT_EQ(src.Position(), 2 * 8192) << int{method};
        EXPECT_EQ(dst.Bytes(), Decode(method, firstChunk, plainSize).output) << int{method};
    }
}

TEST(Engine, DestinationWritesGoOutInWholeBuffers) {
    struct CountingStream : TMemoryStream {
        std::vector<int32_t> writes;
        void Write(const void* b, int32_t n) override {
            writes.push_back(n);
            TMemoryStream::Write(b, n);
        }
    } dst;
    TCompress c;
    TMemoryStream src(Bytes(20000, 'z'));
    uint32_t sum = 0;
    c.RunCodec(&dst, &src, 20000, 0, kMethodNON, sum, 0, false);
    EXPECT_EQ(dst.writes, (std::vector<int32_t>{8192, 8192, 3616}));
    EXPECT_EQ(sum, 20000u * 'z');
}

} // namespace
} // namespace qv::test
