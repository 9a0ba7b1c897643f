#pragma once
// Test helpers for the lh5 encoder: running it without the output budget,
// and reading its stream back as blocks of items so tests can check the
// literals and matches it chose, not just the bytes they expand to.

#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

#include <cstdint>
#include <vector>

namespace qv::test::lh5enc {

struct Item {
    int symbol = 0;    // 0..255 literal, 256..509 match of length symbol - 253
    int distance = -1; // distance value of a match (offset minus one)
    int Length() const { return symbol < 256 ? 1 : symbol - 253; }
};

struct ParsedBlock {
    int count = 0;
    bool singleSymbol = false;   // symbol table sent as count 0 and one symbol
    bool singleDistance = false; // distance table sent as count 0 and one class
    std::vector<Item> items;
};

namespace detail {

class BitReader {
public:
    explicit BitReader(const Bytes& bytes) : bytes_(bytes) {}
    // Bits past the end read as zeros, as the decoder's do.
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit_) {
            const size_t byte = bit_ / 8;
            const uint32_t b = byte < bytes_.size() ? (bytes_[byte] >> (7 - bit_ % 8)) & 1u : 0u;
            v = (v << 1) | b;
        }
        return v;
    }

private:
    const Bytes& bytes_;
    size_t bit_ = 0;
};

// A canonical code read bit by bit: (length, code) -> symbol.
class Code {
public:
    static Code Single(int symbol) {
        Code c;
        c.single_ = symbol;
        return c;
    }
    static Code FromLengths(const std::vector<uint8_t>& lengths) {
        Code c;
        uint32_t code = 0;
        for (int len = 1; len <= 16; ++len) {
            for (size_t s = 0; s < lengths.size(); ++s)
                if (lengths[s] == len) c.table_[{len, code++}] = static_cast<int>(s);
            code <<= 1;
        }
        return c;
    }
    int Decode(BitReader& in) const {
        if (single_ >= 0) return single_;
        uint32_t code = 0;
        for (int len = 1; len <= 16; ++len) {
            code = (code << 1) | in.Get(1);
            const auto it = table_.find({len, code});
            if (it != table_.end()) return it->second;
        }
        ADD_FAILURE() << "no code matches";
        return 0;
    }
    bool IsSingle() const { return single_ >= 0; }

private:
    int single_ = -1;
    std::map<std::pair<int, uint32_t>, int> table_;
};

inline Code ReadSmallCode(BitReader& in, int countBits, int size, bool zeroRun) {
    const int k = static_cast<int>(in.Get(countBits));
    if (k == 0) return Code::Single(static_cast<int>(in.Get(countBits)));
    std::vector<uint8_t> lengths(static_cast<size_t>(std::max(k, size)), 0);
    for (int i = 0; i < k; ++i) {
        uint32_t len = in.Get(3);
        if (len == 7)
            while (in.Get(1) == 1)
                ++len;
        lengths[static_cast<size_t>(i)] = static_cast<uint8_t>(len);
        if (zeroRun && i == 2) i += static_cast<int>(in.Get(2));
    }
    lengths.resize(static_cast<size_t>(size));
    return Code::FromLengths(lengths);
}

inline Code ReadSymbolCode(BitReader& in, const Code& lengthCode) {
    const int k = static_cast<int>(in.Get(9));
    if (k == 0) return Code::Single(static_cast<int>(in.Get(9)));
    std::vector<uint8_t> lengths;
    while (static_cast<int>(lengths.size()) < k) {
        const int v = lengthCode.Decode(in);
        if (v == 0)
            lengths.push_back(0);
        else if (v == 1)
            lengths.resize(lengths.size() + in.Get(4) + 3, 0);
        else if (v == 2)
            lengths.resize(lengths.size() + in.Get(9) + 20, 0);
        else
            lengths.push_back(static_cast<uint8_t>(v - 2));
    }
    EXPECT_EQ(static_cast<int>(lengths.size()), k) << "zero run past the count";
    lengths.resize(510, 0);
    return Code::FromLengths(lengths);
}

} // namespace detail

// The encoder driven directly, with the budget set as given (no limit by
// default), so stored forms longer than their source can be seen.
inline Bytes CompressLh5WithBudget(const Bytes& input, int32_t budget = 0x7FFFFFFF,
                                   int32_t key = 0) {
    payload::TCompThreadSafety s;
    payload::TMemoryStream src(input), dst;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, key, false, nullptr);
    s.outputBudget = budget;
    try {
        payload::CompressLH5(s);
    } catch (...) {
        s.Release();
        throw;
    }
    s.Finish();
    return dst.Bytes();
}

// Reads blocks until they cover originalSize bytes.
inline std::vector<ParsedBlock> ParseLh5Stream(const Bytes& stream, size_t originalSize) {
    using namespace detail;
    BitReader in(stream);
    std::vector<ParsedBlock> blocks;
    size_t covered = 0;
    while (covered < originalSize) {
        ParsedBlock block;
        block.count = static_cast<int>(in.Get(16));
        const Code lengthCode = ReadSmallCode(in, 5, 19, true);
        const Code symbols = ReadSymbolCode(in, lengthCode);
        const Code distances = ReadSmallCode(in, 4, 14, false);
        block.singleSymbol = symbols.IsSingle();
        block.singleDistance = distances.IsSingle();
        for (int i = 0; i < block.count; ++i) {
            Item item;
            item.symbol = symbols.Decode(in);
            if (item.symbol >= 256) {
                const int cls = distances.Decode(in);
                item.distance =
                    cls <= 1 ? cls : static_cast<int>((1u << (cls - 1)) | in.Get(cls - 1));
            }
            covered += static_cast<size_t>(item.Length());
            block.items.push_back(item);
        }
        if (block.count == 0) {
            ADD_FAILURE() << "empty block";
            break;
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

// Replays items over an empty history. Fails the test (and returns what it
// has) when a match reaches before the first byte.
inline Bytes ReplayItems(const std::vector<ParsedBlock>& blocks) {
    Bytes out;
    for (const auto& block : blocks) {
        for (const auto& item : block.items) {
            if (item.symbol < 256) {
                out.push_back(static_cast<uint8_t>(item.symbol));
                continue;
            }
            const size_t offset = static_cast<size_t>(item.distance) + 1;
            if (offset > out.size()) {
                ADD_FAILURE() << "match reaches before the start at " << out.size();
                return out;
            }
            for (int k = 0; k < item.Length(); ++k)
                out.push_back(out[out.size() - offset]);
        }
    }
    return out;
}

} // namespace qv::test::lh5enc
