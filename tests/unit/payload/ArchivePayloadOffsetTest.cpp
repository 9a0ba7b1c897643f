// The payload slot: finding its marker in an executable and reading the
// stamped value, on memory images and on a real stamped program.
#include "payload/PayloadOffset.h"
#include "platform/Files.h"
#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::test {
namespace {

using payload::FindPayloadSlot;
using payload::TPayloadSlotSearch;

Bytes SlotBytes(uint64_t value) {
    const payload::TPayloadSlot slot = payload::UnstampedPayloadSlot();
    Bytes out(slot.Marker, slot.Marker + payload::kPayloadMarkerSize);
    for (size_t i = 0; i < payload::kPayloadValueSize; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out;
}

Bytes ImageWithSlots(size_t size, const std::vector<size_t>& at, uint64_t value) {
    Bytes image = BinaryLike(size);
    const Bytes slot = SlotBytes(value);
    for (size_t where : at)
        std::memcpy(&image[where], slot.data(), slot.size());
    return image;
}

TEST(ArchivePayloadSlot, FindsExactlyOneMarker) {
    struct Case {
        const char* name;
        size_t size;
        std::vector<size_t> at;
        TPayloadSlotSearch search;
    };
    const size_t chunk = 1 << 20;
    const Case cases[] = {
        {"none", 5000, {}, TPayloadSlotSearch::NoMarker},
        {"one", 5000, {100}, TPayloadSlotSearch::Found},
        {"atTheEnd", 5000, {5000 - 24}, TPayloadSlotSearch::Found},
        {"acrossChunks", chunk + 5000, {chunk - 7}, TPayloadSlotSearch::Found},
        {"two", 5000, {100, 3000}, TPayloadSlotSearch::SeveralMarkers},
    };
    for (const Case& c : cases) {
        payload::TMemoryStream image(ImageWithSlots(c.size, c.at, 642560));
        const auto result = FindPayloadSlot(&image);
        EXPECT_EQ(result.Search, c.search) << c.name;
        if (c.search == TPayloadSlotSearch::Found) {
            EXPECT_EQ(result.MarkerPosition, static_cast<int64_t>(c.at[0])) << c.name;
            EXPECT_EQ(result.Value, 642560) << c.name;
        }
    }
}

TEST(ArchivePayloadSlot, StampedProgramKnowsItsOwnSize) {
    payload::TFileStream probe(QV_SLOT_PROBE, payload::TFileStream::Mode::OpenRead);
    const auto result = FindPayloadSlot(&probe);
    ASSERT_EQ(result.Search, TPayloadSlotSearch::Found);
    EXPECT_EQ(result.Value, platform::FileSize(QV_SLOT_PROBE));
}

TEST(ArchivePayloadSlot, ReadsTheEmbeddedValue) {
    volatile payload::TPayloadSlot slot = payload::UnstampedPayloadSlot();
    EXPECT_EQ(payload::StampedPayloadOffset(slot), 0);
    slot.Value[0] = 0x00;
    slot.Value[1] = 0xCE;
    slot.Value[2] = 0x09;
    EXPECT_EQ(payload::StampedPayloadOffset(slot), 642560);
}

} // namespace
} // namespace qv::test
