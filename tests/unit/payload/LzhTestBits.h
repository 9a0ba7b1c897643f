#pragma once
// Bit strings for the "LZH" tests: streams written as "0101..." text, most
// significant bit first, and the symbol coder of the model for building
// longer streams.

#include "payload/codec/lzh/LzhModel.h"
#include "tests/unit/TestSupport.h"

#include <string>

namespace qv::test::lzh {

inline Bytes BitsToBytes(const std::string& bits) {
    Bytes out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '1') out[i / 8] |= static_cast<uint8_t>(0x80u >> (i % 8));
    return out;
}

inline std::string BytesToBits(const Bytes& bytes, size_t count) {
    std::string bits;
    for (size_t i = 0; i < count && i / 8 < bytes.size(); ++i)
        bits += (bytes[i / 8] & (0x80u >> (i % 8))) ? '1' : '0';
    return bits;
}

inline std::string BitsOf(uint64_t value, int length) {
    std::string bits;
    for (int i = length - 1; i >= 0; --i)
        bits += ((value >> i) & 1u) ? '1' : '0';
    return bits;
}

// Appends symbols to a bit string the way the encoder codes them.
class SymbolWriter {
public:
    SymbolWriter() { model_.Init(); }
    void Symbol(int symbol) {
        const auto code = model_.CodeOf(symbol);
        bits += BitsOf(code.bits, code.length);
        model_.Update(symbol);
    }
    std::string bits;

private:
    payload::lzh::TLzhModel model_;
};

} // namespace qv::test::lzh
