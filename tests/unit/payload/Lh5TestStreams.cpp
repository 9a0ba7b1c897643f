#include "tests/unit/payload/Lh5TestStreams.h"

#include "payload/codec/lh5/Lh5Format.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace qv::test::lh5 {

using namespace qv::payload::lh5;

void BitWriter::Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        if (used_ == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
        used_ = (used_ + 1) & 7;
    }
}

Bytes BitWriter::Finish() const {
    return bytes_;
}

std::vector<uint16_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
    uint32_t next[kMaxCodeLength + 2] = {}; // left-aligned in 16 bits, per length
    for (uint8_t len : lengths)
        if (len != 0) next[len + 1] += 1u << (kMaxCodeLength - len);
    for (int len = 1; len <= kMaxCodeLength; ++len)
        next[len + 1] += next[len];
    std::vector<uint16_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s) {
        const int len = lengths[s];
        if (len == 0) continue;
        codes[s] = static_cast<uint16_t>(next[len] >> (kMaxCodeLength - len));
        next[len] += 1u << (kMaxCodeLength - len);
    }
    return codes;
}

namespace {
// The lengths of a code may list extra entries past its alphabet.
std::vector<uint8_t> AlphabetPart(const Code& code, size_t alphabet) {
    std::vector<uint8_t> l = code.lengths;
    l.resize(std::min(l.size(), alphabet));
    return l;
}

void WriteWithCode(BitWriter& w, const Code& code, size_t alphabet, int symbol) {
    if (code.IsSingle()) {
        if (symbol != code.single) throw std::logic_error("symbol not in single-symbol code");
        return;
    }
    const auto lengths = AlphabetPart(code, alphabet);
    if (symbol < 0 || static_cast<size_t>(symbol) >= lengths.size() || lengths[symbol] == 0)
        throw std::logic_error("symbol has no code");
    w.Put(CanonicalCodes(lengths)[symbol], lengths[symbol]);
}

// Lengths of a small table: 3 bits, 7 and up as 7 plus a run of 1 bits and a 0.
void WriteCodeLength(BitWriter& w, int len) {
    if (len < kLengthEscape) {
        w.Put(static_cast<uint32_t>(len), kLengthFieldBits);
        return;
    }
    w.Put(kLengthEscape, kLengthFieldBits);
    for (int i = kLengthEscape; i < len; ++i)
        w.Put(1, 1);
    w.Put(0, 1);
}

void WriteSmallTable(BitWriter& w, const Code& code, int countBits, bool zeroRun) {
    if (code.IsSingle()) {
        w.Put(0, countBits);
        w.Put(static_cast<uint32_t>(code.single), countBits);
        return;
    }
    const auto& l = code.lengths;
    w.Put(static_cast<uint32_t>(l.size()), countBits);
    for (size_t i = 0; i < l.size(); ++i) {
        WriteCodeLength(w, l[i]);
        if (zeroRun && i + 1 == static_cast<size_t>(kZeroRunAfter)) {
            uint32_t z = 0;
            while (z < 3 && i + 1 + z < l.size() && l[i + 1 + z] == 0)
                ++z;
            w.Put(z, kZeroRunBits);
            i += z;
        }
    }
}

struct Token {
    int symbol;
    uint32_t extra;
    int extraBits;
};

std::vector<Token> LengthTokens(const std::vector<uint8_t>& lengths) {
    size_t k = lengths.size();
    while (k > 0 && lengths[k - 1] == 0)
        --k;
    std::vector<Token> tokens;
    for (size_t i = 0; i < k;) {
        if (lengths[i] != 0) {
            tokens.push_back({lengths[i] + kLengthSymbolBias, 0, 0});
            ++i;
            continue;
        }
        size_t run = 0;
        while (i + run < k && lengths[i + run] == 0)
            ++run;
        i += run;
        while (run > 0) {
            if (run >= static_cast<size_t>(kLongRunBase)) {
                const size_t n = std::min<size_t>(run, kLongRunBase + 511);
                tokens.push_back({2, static_cast<uint32_t>(n - kLongRunBase), kLongRunBits});
                run -= n;
            } else if (run >= static_cast<size_t>(kShortRunBase)) {
                const size_t n = std::min<size_t>(run, kShortRunBase + 15);
                tokens.push_back({1, static_cast<uint32_t>(n - kShortRunBase), kShortRunBits});
                run -= n;
            } else {
                tokens.push_back({0, 0, 0});
                --run;
            }
        }
    }
    return tokens;
}

// A complete code with every length about log2 of the symbol count.
std::vector<uint8_t> BalancedLengths(const std::vector<int>& used, int alphabetSize) {
    std::vector<uint8_t> lengths(static_cast<size_t>(alphabetSize), 0);
    const auto m = static_cast<uint32_t>(used.size());
    const int depth = std::bit_width(m - 1);
    uint32_t shortened = (1u << depth) - m;
    for (int s : used) {
        const bool shorter = shortened > 0;
        if (shorter) --shortened;
        lengths[static_cast<size_t>(s)] = static_cast<uint8_t>(shorter ? depth - 1 : depth);
    }
    return lengths;
}

Code BalancedLengthCode(const std::vector<int>& used) {
    Code code;
    if (used.size() == 1) {
        code.single = used[0];
        return code;
    }
    code.lengths = BalancedLengths(used, NT);
    while (!code.lengths.empty() && code.lengths.back() == 0)
        code.lengths.pop_back();
    return code;
}
} // namespace

std::vector<int> LengthSymbolsUsed(const std::vector<uint8_t>& symbolLengths) {
    std::vector<int> used;
    for (const Token& t : LengthTokens(symbolLengths))
        if (std::find(used.begin(), used.end(), t.symbol) == used.end()) used.push_back(t.symbol);
    return used;
}

void WriteBlockHeader(BitWriter& w, const Block& block) {
    w.Put(block.countField, kBlockCountBits);
    if (block.symbols.IsSingle()) {
        WriteSmallTable(w, Code{{}, 0}, kCodeLengthCountBits, true);
        w.Put(0, kSymbolCountBits);
        w.Put(static_cast<uint32_t>(block.symbols.single), kSymbolCountBits);
    } else {
        const auto tokens = LengthTokens(block.symbols.lengths);
        const bool given = block.lengthCode.IsSingle() || !block.lengthCode.lengths.empty();
        const Code lengthCode =
            given ? block.lengthCode : BalancedLengthCode(LengthSymbolsUsed(block.symbols.lengths));
        WriteSmallTable(w, lengthCode, kCodeLengthCountBits, true);
        size_t k = block.symbols.lengths.size();
        while (k > 0 && block.symbols.lengths[k - 1] == 0)
            --k;
        w.Put(static_cast<uint32_t>(k), kSymbolCountBits);
        for (const Token& t : tokens) {
            WriteWithCode(w, lengthCode, NT, t.symbol);
            w.Put(t.extra, t.extraBits);
        }
    }
    WriteSmallTable(w, block.distances, kDistanceCountBits, false);
}

void WriteSymbol(BitWriter& w, const Code& code, int symbol) {
    WriteWithCode(w, code, NC, symbol);
}

void WriteDistance(BitWriter& w, const Code& code, uint32_t distanceValue) {
    const int cls = std::bit_width(distanceValue);
    WriteWithCode(w, code, NP, cls);
    if (cls > 1) w.Put(distanceValue - (1u << (cls - 1)), cls - 1);
}

void WriteLiteral(BitWriter& w, const Block& block, uint8_t byte) {
    WriteSymbol(w, block.symbols, byte);
}

void WriteMatch(BitWriter& w, const Block& block, int length, uint32_t distanceValue) {
    WriteSymbol(w, block.symbols, length + kMatchLengthBias);
    WriteDistance(w, block.distances, distanceValue);
}

std::vector<uint8_t> RandomLengths(std::mt19937& rng, const std::vector<int>& used,
                                   int alphabetSize, int maxLength) {
    std::vector<int> depths{0};
    size_t lastSplit = 0;
    while (depths.size() < used.size()) {
        size_t pick = lastSplit;
        // Keep deepening one branch half the time so codes reach the maximum.
        if (rng() % 2 == 0 || depths[pick] >= maxLength) {
            do {
                pick = rng() % depths.size();
            } while (depths[pick] >= maxLength);
        }
        ++depths[pick];
        depths.push_back(depths[pick]);
        lastSplit = rng() % 2 ? pick : depths.size() - 1;
    }
    std::shuffle(depths.begin(), depths.end(), rng);
    std::vector<uint8_t> lengths(static_cast<size_t>(alphabetSize), 0);
    for (size_t i = 0; i < used.size(); ++i)
        lengths[static_cast<size_t>(used[i])] = static_cast<uint8_t>(depths[i]);
    return lengths;
}

namespace {
std::vector<int> RandomSubset(std::mt19937& rng, int from, int to, size_t count) {
    std::vector<int> all;
    for (int s = from; s < to; ++s)
        all.push_back(s);
    std::shuffle(all.begin(), all.end(), rng);
    all.resize(std::min(count, all.size()));
    return all;
}

Code RandomCode(std::mt19937& rng, std::vector<int> used, int alphabetSize) {
    Code code;
    if (used.size() == 1) {
        code.single = used[0];
        return code;
    }
    code.lengths = RandomLengths(rng, used, alphabetSize, kMaxCodeLength);
    return code;
}

Block RandomBlock(std::mt19937& rng) {
    Block b;
    const uint32_t shape = rng() % 10;
    b.countField = static_cast<uint16_t>(shape == 0 ? 0 : 1 + rng() % 3000);
    std::vector<int> used = RandomSubset(rng, 0, kLiteralCount, shape == 1 ? 1 : 1 + rng() % 256);
    if (shape != 1) {
        const auto matches = RandomSubset(rng, kLiteralCount, NC, rng() % 60);
        used.insert(used.end(), matches.begin(), matches.end());
    }
    b.symbols = RandomCode(rng, used, NC);
    b.distances = RandomCode(rng, RandomSubset(rng, 0, NP, 1 + rng() % NP), NP);
    // Now and then a count above the alphabet: the extra length is ignored.
    if (!b.distances.IsSingle() && rng() % 8 == 0) b.distances.lengths.push_back(rng() % 17);
    // Deep code-length codes reach the small table's overflow trees.
    if (!b.symbols.IsSingle() && rng() % 3 == 0) {
        b.lengthCode = RandomCode(rng, LengthSymbolsUsed(b.symbols.lengths), NT);
        while (!b.lengthCode.lengths.empty() && b.lengthCode.lengths.back() == 0)
            b.lengthCode.lengths.pop_back();
    }
    return b;
}

uint32_t RandomDistance(std::mt19937& rng, const Code& distances) {
    std::vector<int> classes;
    if (distances.IsSingle()) {
        classes.push_back(distances.single);
    } else {
        for (int j = 0; j < NP; ++j)
            if (distances.lengths[static_cast<size_t>(j)] != 0) classes.push_back(j);
    }
    const int j = classes[rng() % classes.size()];
    return j < 2 ? static_cast<uint32_t>(j) : (1u << (j - 1)) + rng() % (1u << (j - 1));
}
} // namespace

Bytes RandomStream(std::mt19937& rng, int32_t size) {
    BitWriter w;
    int64_t produced = 0;
    while (produced < size) {
        const Block b = RandomBlock(rng);
        WriteBlockHeader(w, b);
        std::vector<int> used;
        if (b.symbols.IsSingle()) used.push_back(b.symbols.single);
        for (size_t s = 0; s < b.symbols.lengths.size(); ++s)
            if (b.symbols.lengths[s] != 0) used.push_back(static_cast<int>(s));
        const int32_t count = b.countField == 0 ? kMaxBlockSymbols : b.countField;
        for (int32_t i = 0; i < count && produced < size; ++i) {
            const int s = used[rng() % used.size()];
            WriteSymbol(w, b.symbols, s);
            if (s < kLiteralCount) {
                ++produced;
            } else {
                WriteDistance(w, b.distances, RandomDistance(rng, b.distances));
                produced += s - kMatchLengthBias;
            }
        }
    }
    return w.Finish();
}

} // namespace qv::test::lh5
