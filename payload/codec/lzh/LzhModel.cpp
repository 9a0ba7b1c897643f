#include "LzhModel.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace qv::payload::lzh {

namespace {
constexpr uint16_t kSentinelFrequency = 0xFFFF;
} // namespace

void TLzhModel::Init() {
    for (int i = 0; i < kSymbolCount; ++i) {
        freq[i] = 1;
        son[i] = static_cast<uint16_t>(i + kLeafBase);
        prnt[i + kLeafBase] = static_cast<uint16_t>(i);
    }
    for (int i = 0, j = kSymbolCount; j < kNodeCount; i += 2, ++j) {
        freq[j] = static_cast<uint16_t>(freq[i] + freq[i + 1]);
        son[j] = static_cast<uint16_t>(i);
        prnt[i] = prnt[i + 1] = static_cast<uint16_t>(j);
    }
    std::fill(std::begin(freq) + kNodeCount, std::end(freq), kSentinelFrequency);
    prnt[kRoot] = 0;
}

void TLzhModel::Rebuild() {
    int free = 0;
    for (int i = 0; i < kNodeCount; ++i) {
        if (IsLeaf(son[i])) {
            freq[free] = static_cast<uint16_t>((freq[i] + 1u) / 2u);
            son[free] = son[i];
            ++free;
        }
    }
    for (int i = 0, j = kSymbolCount; j < kNodeCount; i += 2, ++j) {
        const unsigned f = static_cast<unsigned>(freq[i]) + freq[i + 1];
        int k = j - 1;
        while (f < freq[k])
            --k;
        ++k;
        const size_t moved = static_cast<size_t>(j - k) * sizeof(uint16_t);
        std::memmove(&freq[k + 1], &freq[k], moved);
        std::memmove(&son[k + 1], &son[k], moved);
        freq[k] = static_cast<uint16_t>(f);
        son[k] = static_cast<uint16_t>(i);
    }
    for (int i = 0; i < kNodeCount; ++i) {
        const unsigned k = son[i];
        prnt[k] = static_cast<uint16_t>(i);
        if (!IsLeaf(k)) prnt[k + 1] = static_cast<uint16_t>(i);
    }
}

TLzhModel::Code TLzhModel::CodeOf(int symbol) const {
    // A leaf at depth d needs a root frequency of at least Fibonacci(d + 2);
    // with the root capped at 32768 no code reaches 25 bits, so 64 bits hold any.
    Code code{0, 0};
    for (unsigned k = prnt[symbol + kLeafBase]; k != kRoot; k = prnt[k]) {
        code.bits |= static_cast<uint64_t>(k & 1u) << code.length;
        ++code.length;
    }
    return code;
}

} // namespace qv::payload::lzh
