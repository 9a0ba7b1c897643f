#include "tests/unit/payload/Lh5ReferenceDecoder.h"

#include "payload/codec/CompressErrors.h"
#include "payload/codec/lh5/Lh5Format.h"

#include <algorithm>
#include <memory>

namespace qv::test::lh5 {

using namespace qv::payload::lh5;
using qv::payload::ELZHBadDecodeTable;

namespace {

class Reference {
public:
    explicit Reference(const Bytes& stream) : stream_(stream) {}
    Bytes Expand(int32_t destSize);

private:
    const Bytes& stream_;
    size_t next_ = 0;
    uint16_t bitWindow_ = 0;
    uint8_t spare_ = 0;
    int spareCount_ = 0;
    uint16_t left_[2 * NC] = {};
    uint16_t right_[2 * NC] = {};
    uint8_t symbolLengths_[NC] = {};
    uint8_t smallLengths_[32] = {};
    uint16_t symbolTable_[4096] = {};
    uint16_t smallTable_[256] = {};
    bool symbolSingle_ = false;
    bool smallSingle_ = false;

    uint8_t NextByte() { return next_ < stream_.size() ? stream_[next_++] : 0; }
    void FillBits(int n);
    uint32_t GetBits(int n);
    void MakeTable(int n, const uint8_t* lengths, int tableBits, uint16_t* table);
    void ReadSmallLengths(int n, int countBits, bool zeroRun);
    void ReadSymbolLengths();
    int WalkTree(int entry, int n, uint16_t mask, bool single);
    int DecodeSymbol();
    uint32_t DecodeDistance();
};

void Reference::FillBits(int n) {
    while (n > spareCount_) {
        n -= spareCount_;
        bitWindow_ =
            static_cast<uint16_t>((bitWindow_ << spareCount_) + (spare_ >> (8 - spareCount_)));
        spare_ = NextByte();
        spareCount_ = 8;
    }
    spareCount_ -= n;
    bitWindow_ = static_cast<uint16_t>((bitWindow_ << n) + (spare_ >> (8 - n)));
    spare_ = static_cast<uint8_t>(spare_ << n);
}

uint32_t Reference::GetBits(int n) {
    if (n == 0) return 0;
    const uint32_t v = bitWindow_ >> (16 - n);
    FillBits(n);
    return v;
}

void Reference::MakeTable(int n, const uint8_t* lengths, int tableBits, uint16_t* table) {
    uint32_t count[17] = {};
    for (int i = 0; i < n; ++i) {
        if (lengths[i] > 16) throw ELZHBadDecodeTable();
        ++count[lengths[i]];
    }
    uint32_t start[18] = {};
    uint32_t total = 0;
    for (int len = 1; len <= 16; ++len) {
        start[len] = total;
        total += count[len] << (16 - len);
    }
    if (total != 65536) throw ELZHBadDecodeTable();
    uint32_t covered = 0;
    for (int len = 1; len <= tableBits; ++len)
        covered += count[len] << (16 - len);
    std::fill(table + (covered >> (16 - tableBits)), table + (1 << tableBits), 0);
    int avail = n;
    for (int len = 1; len <= 16; ++len) {
        for (int s = 0; s < n; ++s) {
            if (lengths[s] != len) continue;
            const uint32_t code = start[len];
            start[len] += 1u << (16 - len);
            if (len <= tableBits) {
                std::fill_n(table + (code >> (16 - tableBits)), 1 << (tableBits - len), s);
                continue;
            }
            uint16_t* slot = &table[code >> (16 - tableBits)];
            for (int bit = tableBits; bit < len; ++bit) {
                if (*slot == 0) {
                    if (avail >= 2 * NC) throw ELZHBadDecodeTable();
                    left_[avail] = right_[avail] = 0;
                    *slot = static_cast<uint16_t>(avail++);
                }
                slot = ((code >> (15 - bit)) & 1) ? &right_[*slot] : &left_[*slot];
            }
            *slot = static_cast<uint16_t>(s);
        }
    }
}

void Reference::ReadSmallLengths(int n, int countBits, bool zeroRun) {
    const int k = static_cast<int>(GetBits(countBits));
    if (k == 0) {
        const int s = static_cast<int>(GetBits(countBits));
        std::fill_n(smallLengths_, n, 0);
        std::fill_n(smallTable_, 256, s);
        smallSingle_ = true;
        return;
    }
    smallSingle_ = false;
    std::fill_n(smallLengths_, 32, 0);
    int i = 0;
    while (i < k) {
        int len = static_cast<int>(bitWindow_ >> 13);
        if (len == 7) {
            FillBits(3);
            while (GetBits(1) == 1)
                if (++len > 16) throw ELZHBadDecodeTable();
        } else {
            FillBits(3);
        }
        smallLengths_[i++] = static_cast<uint8_t>(len);
        if (zeroRun && i == 3) {
            int z = static_cast<int>(GetBits(2));
            while (z-- > 0)
                smallLengths_[i++] = 0;
        }
    }
    MakeTable(n, smallLengths_, 8, smallTable_);
}

// Follows the tree below a table entry with the window bits from mask down.
int Reference::WalkTree(int entry, int n, uint16_t mask, bool single) {
    if (single) throw ELZHBadDecodeTable(); // a lone symbol outside the alphabet
    while (entry >= n) {
        if (mask == 0) throw ELZHBadDecodeTable();
        entry = (bitWindow_ & mask) ? right_[entry] : left_[entry];
        mask = static_cast<uint16_t>(mask >> 1);
    }
    return entry;
}

void Reference::ReadSymbolLengths() {
    const int k = static_cast<int>(GetBits(9));
    if (k == 0) {
        const int s = static_cast<int>(GetBits(9));
        std::fill_n(symbolLengths_, NC, 0);
        std::fill_n(symbolTable_, 4096, s);
        symbolSingle_ = true;
        return;
    }
    if (k > NC) throw ELZHBadDecodeTable();
    symbolSingle_ = false;
    std::fill_n(symbolLengths_, NC, 0);
    int i = 0;
    while (i < k) {
        int v = smallTable_[bitWindow_ >> 8];
        if (v >= NT) v = WalkTree(v, NT, 0x80, smallSingle_);
        FillBits(smallLengths_[v]);
        if (v <= 2) {
            const int run = v == 0   ? 1
                            : v == 1 ? static_cast<int>(GetBits(4)) + 3
                                     : static_cast<int>(GetBits(9)) + 20;
            if (i + run > NC) throw ELZHBadDecodeTable();
            std::fill_n(symbolLengths_ + i, run, 0);
            i += run;
        } else {
            symbolLengths_[i++] = static_cast<uint8_t>(v - 2);
        }
    }
    MakeTable(NC, symbolLengths_, 12, symbolTable_);
}

int Reference::DecodeSymbol() {
    int c = symbolTable_[bitWindow_ >> 4];
    if (c < NC) {
        FillBits(symbolLengths_[c]);
        return c;
    }
    if (symbolSingle_) throw ELZHBadDecodeTable();
    FillBits(12);
    c = WalkTree(c, NC, 0x8000, false);
    FillBits(symbolLengths_[c] - 12);
    return c;
}

uint32_t Reference::DecodeDistance() {
    int j = smallTable_[bitWindow_ >> 8];
    if (j < NP) {
        FillBits(smallLengths_[j]);
    } else {
        if (smallSingle_) throw ELZHBadDecodeTable();
        FillBits(8);
        j = WalkTree(j, NP, 0x8000, false);
        FillBits(smallLengths_[j] - 8);
    }
    if (j == 0) return 0;
    return (1u << (j - 1)) + GetBits(j - 1);
}

Bytes Reference::Expand(int32_t destSize) {
    Bytes out;
    if (destSize <= 0) return out;
    FillBits(16);
    std::vector<uint8_t> window(kWindowSize, kWindowFill);
    uint32_t r = 0;
    uint32_t blockLeft = 0;
    while (static_cast<int64_t>(out.size()) < destSize) {
        if (blockLeft == 0) {
            blockLeft = GetBits(16);
            if (blockLeft == 0) blockLeft = 65536;
            ReadSmallLengths(NT, 5, true);
            ReadSymbolLengths();
            ReadSmallLengths(NP, 4, false);
        }
        --blockLeft;
        const int c = DecodeSymbol();
        if (c < 256) {
            window[r] = static_cast<uint8_t>(c);
            out.push_back(static_cast<uint8_t>(c));
            r = (r + 1) % kWindowSize;
            continue;
        }
        const int length = c - 253;
        uint32_t from = (r - DecodeDistance() - 1) % kWindowSize;
        for (int i = 0; i < length; ++i) {
            const uint8_t b = window[from];
            from = (from + 1) % kWindowSize;
            window[r] = b;
            out.push_back(b);
            r = (r + 1) % kWindowSize;
        }
    }
    return out;
}

} // namespace

Bytes ReferenceExpand(const Bytes& stream, int32_t destSize) {
    auto decoder = std::make_unique<Reference>(stream);
    return decoder->Expand(destSize);
}

} // namespace qv::test::lh5
