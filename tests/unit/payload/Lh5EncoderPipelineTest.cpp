// The lh5 encoder codes full blocks on a second thread while the scan goes
// on: a failure on either side must still end the member with its own
// error, and nothing may hang or run on after it.
#include "Lh5EncoderTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

using lh5enc::CompressLh5WithBudget;
using payload::EFileStreamError;
using payload::EUnableToCompress;
using payload::TMemoryStream;

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

constexpr int64_t kNoLimit = INT64_MAX;

// Runs the encoder between the given streams and reports the error's kind.
std::string RunWithStreams(const Bytes& input, FailingStream& src, FailingStream& dst) {
    payload::TCompThreadSafety s;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, 0, false, nullptr);
    s.outputBudget = 0x7FFFFFFF;
    try {
        payload::CompressLH5(s);
        s.Finish();
    } catch (const EFileStreamError& e) {
        s.Release();
        return e.what();
    }
    return "none";
}

TEST(Lh5EncoderPipeline, BudgetRunningOutInAnEarlyBlockEndsTheMember) {
    const Bytes input = TextLike(600000, 11);
    const auto full = static_cast<int32_t>(CompressLh5WithBudget(input).size());
    // The first blocks are coded beside the scan, the last one after it.
    for (const int32_t budget : {1, 100, 9000, full / 3, full / 2, full - 1}) {
        SCOPED_TRACE(budget);
        EXPECT_THROW(CompressLh5WithBudget(input, budget), EUnableToCompress);
    }
    EXPECT_EQ(CompressLh5WithBudget(input, full).size(), static_cast<size_t>(full));
}

TEST(Lh5EncoderPipeline, StreamFailuresOnEitherSideEndTheMember) {
    const Bytes input = BinaryLike(600000, 12);
    struct Case {
        const char* name;
        int64_t readLimit;
        int64_t writeLimit;
        const char* error;
    };
    const Case cases[] = {
        {"source fails while a block is coded", 300000, kNoLimit, "read failed"},
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

} // namespace
} // namespace qv::test
