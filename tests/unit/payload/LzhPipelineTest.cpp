// The "LZH" encoder codes full item buffers on a second thread while the
// parse goes on: a failure on either side must still end the member with
// its own error, nothing may hang, and buffers must be coded in order.
#include "LzhItems.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

using payload::EFileStreamError;
using payload::EUnableToCompress;
using payload::kMethodLZH;
using payload::TMemoryStream;
using payload::lzh::TLzhItems;

constexpr int32_t kNoBudget = 0x7FFFFFFF;
constexpr int64_t kNoLimit = INT64_MAX;

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

// A memory stream that fails once reading or writing passes a limit.
class FailingStream : public TMemoryStream {
public:
    FailingStream(std::vector<uint8_t> bytes, int64_t readLimit, int64_t writeLimit)
        : TMemoryStream(std::move(bytes)), readLimit_(readLimit), writeLimit_(writeLimit) {}
    int32_t Read(void* buffer, int32_t count) override {
        read_ += count;
        if (read_ > readLimit_) throw EFileStreamError("read failed");
        return TMemoryStream::Read(buffer, count);
    }
    void Write(const void* buffer, int32_t count) override {
        written_ += count;
        if (written_ > writeLimit_) throw EFileStreamError("write failed");
        TMemoryStream::Write(buffer, count);
    }

private:
    int64_t readLimit_;
    int64_t writeLimit_;
    int64_t read_ = 0;
    int64_t written_ = 0;
};

// Runs the encoder between the given streams and reports the error's text.
std::string RunWithStreams(const Bytes& input, FailingStream& src, FailingStream& dst) {
    payload::TCompThreadSafety s;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, 0, false, nullptr);
    s.outputBudget = kNoBudget;
    try {
        payload::CompressLZH(s);
        s.Finish();
    } catch (const EFileStreamError& e) {
        s.Release();
        return e.what();
    }
    return "none";
}

TEST(LzhPipeline, BudgetRunningOutInAnEarlyBufferEndsTheMember) {
    const Bytes input = TextLike(600000, 11);
    const auto full = static_cast<int32_t>(CompressLzhWithBudget(input).size());
    // The first buffers are coded beside the parse, the last one after it.
    for (const int32_t budget : {1, 100, 9000, full / 3, full / 2, full - 1}) {
        SCOPED_TRACE(budget);
        EXPECT_THROW(CompressLzhWithBudget(input, budget), EUnableToCompress);
    }
    EXPECT_EQ(CompressLzhWithBudget(input, full).size(), static_cast<size_t>(full));
}

TEST(LzhPipeline, StreamFailuresOnEitherSideEndTheMember) {
    const Bytes input = BinaryLike(600000, 12);
    struct Case {
        const char* name;
        int64_t readLimit;
        int64_t writeLimit;
        const char* error;
    };
    const Case cases[] = {
        {"source fails while a buffer is coded", 300000, kNoLimit, "read failed"},
        {"source fails before the first hand-over", 0, kNoLimit, "read failed"},
        {"sink fails in the first flush", kNoLimit, 0, "write failed"},
        {"sink fails in a later flush", kNoLimit, 20000, "write failed"},
        {"nothing fails", kNoLimit, kNoLimit, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FailingStream src(input, c.readLimit, kNoLimit);
        FailingStream dst({}, kNoLimit, c.writeLimit);
        EXPECT_EQ(RunWithStreams(input, src, dst), c.error);
    }
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
