// The LH5 and LZH encoders code full item buffers on a second thread while
// match finding goes on: a failure on either side must still end the member
// with its own error, and nothing may hang or run on after it.
#include "payload/codec/Codecs.h"
#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

using payload::EFileStreamError;
using payload::EUnableToCompress;
using payload::TCompThreadSafety;
using payload::TMemoryStream;

constexpr int32_t kNoBudget = 0x7FFFFFFF;
constexpr int64_t kNoLimit = INT64_MAX;

struct Encoder {
    const char* name;
    void (*compress)(TCompThreadSafety&);
};
const Encoder kEncoders[] = {{"LH5", payload::CompressLH5}, {"LZH", payload::CompressLZH}};

Bytes CompressWithBudget(const Encoder& encoder, const Bytes& input, int32_t budget = kNoBudget) {
    TCompThreadSafety s;
    TMemoryStream src(input), dst;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, 0, false, nullptr);
    s.outputBudget = budget;
    try {
        encoder.compress(s);
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
std::string RunWithStreams(const Encoder& encoder, const Bytes& input, FailingStream& src,
                           FailingStream& dst) {
    TCompThreadSafety s;
    s.Begin(&dst, &src, static_cast<int32_t>(input.size()), true, 0, false, nullptr);
    s.outputBudget = kNoBudget;
    try {
        encoder.compress(s);
        s.Finish();
    } catch (const EFileStreamError& e) {
        s.Release();
        return e.what();
    }
    return "none";
}

TEST(CoderThread, BudgetRunningOutInAnEarlyBufferEndsTheMember) {
    const Bytes input = TextLike(600000, 11);
    for (const Encoder& encoder : kEncoders) {
        SCOPED_TRACE(encoder.name);
        const auto full = static_cast<int32_t>(CompressWithBudget(encoder, input).size());
        // The first buffers are coded beside the match finding, the last one after it.
        for (const int32_t budget : {1, 100, 9000, full / 3, full / 2, full - 1}) {
            SCOPED_TRACE(budget);
            EXPECT_THROW(CompressWithBudget(encoder, input, budget), EUnableToCompress);
        }
        EXPECT_EQ(CompressWithBudget(encoder, input, full).size(), static_cast<size_t>(full));
    }
}

TEST(CoderThread, StreamFailuresOnEitherSideEndTheMember) {
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
    for (const Encoder& encoder : kEncoders) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(encoder.name) + ": " + c.name);
            FailingStream src(input, c.readLimit, kNoLimit);
            FailingStream dst({}, kNoLimit, c.writeLimit);
            EXPECT_EQ(RunWithStreams(encoder, input, src, dst), c.error);
        }
    }
}

} // namespace
} // namespace qv::test
