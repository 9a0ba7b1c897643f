// The "LZH" encoder codes full item buffers on a second thread while the
// parse goes on: buffers must be coded in order, whatever their boundaries.
// (Failures on either side: CoderThreadTest.)
#include "payload/codec/lzh/LzhItems.h"
#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace qv::test {
namespace {

using payload::kMethodLZH;
using payload::TMemoryStream;
using payload::lzh::TLzhItems;

constexpr int32_t kNoBudget = 0x7FFFFFFF;

Bytes CompressLzhWithBudget(const Bytes& input, int32_t budget = kNoBudget, int32_t key = 0) {
    payload::TCompThreadSafety s;
    TMemoryStream src(input), dst;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, key, false, nullptr);
    s.outputBudget = budget;
    try {
        payload::CompressLZH(s);
    } catch (...) {
        s.Release();
        throw;
    }
    s.Finish();
    return dst.Bytes();
}

// Random bytes are almost all literals, one item each, so these sizes end
// just before, on and after a buffer boundary; the others span many buffers.
TEST(LzhPipeline, MultiBufferInputsExpandToTheSource) {
    constexpr size_t kItems = TLzhItems::kCapacity;
    const struct {
        const char* name;
        Bytes input;
    } cases[] = {
        {"random one buffer less one", RandomBytes(kItems - 2, 21)},
        {"random one buffer", RandomBytes(kItems - 1, 22)},
        {"random one buffer and one", RandomBytes(kItems, 23)},
        {"random two buffers", RandomBytes(2 * kItems + 1, 24)},
        {"text many buffers", TextLike(900000, 25)},
        {"binary many buffers", BinaryLike(700000, 26)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const int32_t key : {0, 0x1234567}) {
            const Bytes packed = CompressLzhWithBudget(c.input, kNoBudget, key);
            const auto r =
                Decode(kMethodLZH, packed, static_cast<int32_t>(c.input.size()), key, key != 0);
            EXPECT_TRUE(r.output == c.input) << "key " << key;
        }
    }
}

} // namespace
} // namespace qv::test
