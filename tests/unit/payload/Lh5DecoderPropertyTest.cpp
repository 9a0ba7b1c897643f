// The fast decoder against the plain reference decoder: equal output, or the
// same refusal, on valid streams and on damaged ones.
#include "payload/codec/CompressErrors.h"
#include "tests/unit/TestSupport.h"
#include "tests/unit/payload/Lh5ReferenceDecoder.h"
#include "tests/unit/payload/Lh5TestStreams.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <utility>

namespace qv::test {
namespace {

using qv::payload::ELZHBadDecodeTable;

// The output, or nothing when the stream was refused.
std::optional<Bytes> Fast(const Bytes& stream, int32_t size) {
    try {
        return Decode(payload::kMethodLH5, stream, size).output;
    } catch (const ELZHBadDecodeTable&) {
        return std::nullopt;
    }
}

std::optional<Bytes> Reference(const Bytes& stream, int32_t size) {
    try {
        return lh5::ReferenceExpand(stream, size);
    } catch (const ELZHBadDecodeTable&) {
        return std::nullopt;
    }
}

void ExpectSameResult(const Bytes& stream, int32_t size) {
    const auto fast = Fast(stream, size);
    const auto reference = Reference(stream, size);
    ASSERT_EQ(fast.has_value(), reference.has_value());
    if (fast) {
        ASSERT_TRUE(*fast == *reference) << "outputs differ";
    }
}

Bytes Damage(std::mt19937& rng, Bytes stream) {
    if (stream.empty()) return stream;
    switch (rng() % 4) {
    case 0: // a few flipped bits
        for (uint32_t n = 1 + rng() % 3; n > 0; --n)
            stream[rng() % stream.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
    case 1: // cut short
        stream.resize(rng() % stream.size());
        break;
    case 2: // a run of random bytes
        for (size_t i = rng() % stream.size(), n = 1 + rng() % 16; n > 0 && i < stream.size();
             --n, ++i)
            stream[i] = static_cast<uint8_t>(rng());
        break;
    default: { // bytes dropped from the middle
        size_t from = rng() % stream.size(), to = rng() % stream.size();
        if (from > to) std::swap(from, to);
        stream.erase(stream.begin() + static_cast<ptrdiff_t>(from),
                     stream.begin() + static_cast<ptrdiff_t>(to));
        break;
    }
    }
    return stream;
}

TEST(Lh5Property, RandomValidStreamsDecodeLikeTheReference) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        const auto size = static_cast<int32_t>(1 + rng() % 200000);
        const Bytes stream = lh5::RandomStream(rng, size);
        const auto asked = static_cast<int32_t>(1 + rng() % size);
        ASSERT_NO_FATAL_FAILURE(ExpectSameResult(stream, asked));
        ASSERT_TRUE(Fast(stream, asked).has_value());
    }
}

TEST(Lh5Property, DamagedStreamsDecodeOrFailLikeTheReference) {
    std::mt19937 rng(99);
    std::vector<Bytes> sources;
    for (const char* name : {"lh2_222__eas__0.lh5", "lha213__lh5__0.lh5",
                             "maclha_224__l0_lh5__0.lh5", "lharc_atari_313a__shorter__0.lh5"})
        sources.push_back(ReadFileBytes(CorpusDir() + "/" + name));
    for (int i = 0; i < 4; ++i)
        sources.push_back(lh5::RandomStream(rng, 30000));
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const Bytes stream = Damage(rng, sources[rng() % sources.size()]);
        ASSERT_NO_FATAL_FAILURE(ExpectSameResult(stream, static_cast<int32_t>(1 + rng() % 70000)));
    }
}

TEST(Lh5Property, RandomBytesDecodeOrFailLikeTheReference) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const Bytes stream = RandomBytes(rng() % 64, static_cast<uint32_t>(round));
        ASSERT_NO_FATAL_FAILURE(ExpectSameResult(stream, static_cast<int32_t>(1 + rng() % 20000)));
    }
}

} // namespace
} // namespace qv::test
