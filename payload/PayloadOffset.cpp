#include "PayloadOffset.h"

#include <algorithm>
#include <vector>

namespace qv::payload {

namespace {
constexpr uint8_t kMask = 0xA5;
constexpr int32_t kScanChunk = 1 << 20;

// The marker XOR-masked: the finder must not carry the plain bytes, or an
// executable that links it would hold the marker twice.
constexpr std::array<uint8_t, kPayloadMarkerSize> MaskedMarker() {
    const TPayloadSlot slot = UnstampedPayloadSlot();
    std::array<uint8_t, kPayloadMarkerSize> masked{};
    for (size_t i = 0; i < kPayloadMarkerSize; ++i)
        masked[i] = static_cast<uint8_t>(static_cast<uint8_t>(slot.Marker[i]) ^ kMask);
    return masked;
}
constexpr auto kMaskedMarker = MaskedMarker();

bool MarkerAt(const uint8_t* bytes) {
    for (size_t i = 0; i < kPayloadMarkerSize; ++i)
        if ((bytes[i] ^ kMask) != kMaskedMarker[i]) return false;
    return true;
}

int64_t LittleEndian64(const uint8_t* bytes) {
    uint64_t v = 0;
    for (size_t i = kPayloadValueSize; i > 0; --i)
        v = (v << 8) | bytes[i - 1];
    return static_cast<int64_t>(v);
}
} // namespace

int64_t StampedPayloadOffset(const volatile TPayloadSlot& slot) {
    uint8_t bytes[kPayloadValueSize];
    for (size_t i = 0; i < kPayloadValueSize; ++i)
        bytes[i] = slot.Value[i];
    return LittleEndian64(bytes);
}

TPayloadSlotResult FindPayloadSlot(TStream* executable) {
    constexpr size_t kSlotSize = kPayloadMarkerSize + kPayloadValueSize;
    TPayloadSlotResult result;
    executable->Seek(0, SeekOrigin::Begin);
    // Each chunk keeps the last kSlotSize - 1 bytes of the one before, so a
    // slot across a chunk border is still seen whole.
    std::vector<uint8_t> window;
    int64_t windowStart = 0;
    std::vector<uint8_t> chunk(kScanChunk);
    int matches = 0;
    for (;;) {
        const int32_t n = executable->Read(chunk.data(), kScanChunk);
        if (n <= 0) break;
        window.insert(window.end(), chunk.begin(), chunk.begin() + n);
        size_t i = 0;
        for (; i + kSlotSize <= window.size(); ++i) {
            if (window[i] != static_cast<uint8_t>(kMaskedMarker[0] ^ kMask) ||
                !MarkerAt(&window[i]))
                continue;
            if (++matches == 1) {
                result.MarkerPosition = windowStart + static_cast<int64_t>(i);
                result.Value = LittleEndian64(&window[i + kPayloadMarkerSize]);
            }
        }
        window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(i));
        windowStart += static_cast<int64_t>(i);
    }
    result.Search = matches == 0   ? TPayloadSlotSearch::NoMarker
                    : matches == 1 ? TPayloadSlotSearch::Found
                                   : TPayloadSlotSearch::SeveralMarkers;
    if (result.Search != TPayloadSlotSearch::Found) result.Value = 0;
    return result;
}

} // namespace qv::payload
