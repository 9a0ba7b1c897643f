#pragma once
// The payload slot: how an applet knows its bare size (the offset of its
// payload) without a hand-kept constant. The applet embeds one TPayloadSlot
// as a volatile global; after linking, cmake/StampPayloadOffset.py finds the
// slot's marker in the executable and writes the file's size into Value.
// Stripping or signing the executable after the stamp changes its size, so
// the stamp must be the last step of the build.
//
//   volatile qv::payload::TPayloadSlot gPayloadSlot = qv::payload::UnstampedPayloadSlot();

#include "payload/codec/Stream.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::payload {

inline constexpr size_t kPayloadMarkerSize = 16;
inline constexpr size_t kPayloadValueSize = 8;

struct TPayloadSlot {
    char Marker[kPayloadMarkerSize];
    uint8_t Value[kPayloadValueSize]; // little-endian; 0 until stamped
};

// The marker is put together from two halves so that its 16 bytes appear in
// an executable only inside the slot itself (the finder below keeps a masked
// copy), and the stamp finds exactly one.
inline constexpr char kPayloadMarkerHead[] = "QV-PAYLOAD";
inline constexpr char kPayloadMarkerTail[] = "-SLOT\x1A";

constexpr TPayloadSlot UnstampedPayloadSlot() {
    TPayloadSlot slot{};
    size_t at = 0;
    for (size_t i = 0; i + 1 < sizeof kPayloadMarkerHead; ++i)
        slot.Marker[at++] = kPayloadMarkerHead[i];
    for (size_t i = 0; i + 1 < sizeof kPayloadMarkerTail; ++i)
        slot.Marker[at++] = kPayloadMarkerTail[i];
    return slot;
}
static_assert(sizeof kPayloadMarkerHead + sizeof kPayloadMarkerTail - 2 == kPayloadMarkerSize);

// The value the build stamped into the running program's slot.
int64_t StampedPayloadOffset(const volatile TPayloadSlot& slot);

enum class TPayloadSlotSearch { Found, NoMarker, SeveralMarkers };

struct TPayloadSlotResult {
    TPayloadSlotSearch Search = TPayloadSlotSearch::NoMarker;
    int64_t MarkerPosition = -1;
    int64_t Value = 0; // 0 when the executable was never stamped
};

// Scans the whole stream (from its start) for the slot's marker.
TPayloadSlotResult FindPayloadSlot(TStream* executable);

} // namespace qv::payload
