// Real lh5 and lh4 streams from many LHA programs decode to their published
// digests; the 424 MB one doubles as the throughput case, so its output is
// hashed as it streams out rather than kept.
#include "tests/unit/Sha256.h"
#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qv::test {
namespace {

// The LHA CRC-16: polynomial 0xA001 reflected, initial value 0.
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t size) {
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            t[i] = static_cast<uint16_t>(c);
        }
        return t;
    }();
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

// A sink that hashes the first `limit` bytes written and counts them all.
class DigestSink : public payload::TStream {
public:
    explicit DigestSink(uint64_t limit) : limit_(limit) {}
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void* buffer, int32_t count) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        const auto n =
            static_cast<size_t>(std::min<uint64_t>(count, limit_ - std::min(limit_, size_)));
        sha_.Update(bytes, n);
        crc_ = Crc16Update(crc_, bytes, n);
        size_ += static_cast<uint64_t>(count);
    }
    int64_t Seek(int64_t, payload::SeekOrigin) override { return static_cast<int64_t>(size_); }
    int64_t Size() override { return static_cast<int64_t>(size_); }

    std::string Sha() { return sha_.HexDigest(); }
    uint16_t Crc() const { return crc_; }
    uint64_t Written() const { return size_; }

private:
    uint64_t limit_;
    uint64_t size_ = 0;
    Sha256 sha_;
    uint16_t crc_ = 0;
};

struct Entry {
    std::string file;
    int32_t originalSize = 0;
    uint16_t crc16 = 0;
    std::string sha256;
    bool truncated = false;
};

std::vector<Entry> ReadManifest() {
    std::ifstream in(CorpusDir() + "/MANIFEST.tsv");
    std::vector<Entry> entries;
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string file, method, original, stored, crc, sha, test;
        std::getline(fields, file, '\t');
        std::getline(fields, method, '\t');
        std::getline(fields, original, '\t');
        std::getline(fields, stored, '\t');
        std::getline(fields, crc, '\t');
        std::getline(fields, sha, '\t');
        std::getline(fields, test, '\t');
        entries.push_back({file, std::stoi(original),
                           static_cast<uint16_t>(std::stoul(crc, nullptr, 16)), sha,
                           test == "truncated-stream"});
    }
    return entries;
}

DigestSink DecodeToDigest(const Entry& e) {
    const Bytes stream = ReadFileBytes(CorpusDir() + "/" + e.file);
    payload::TMemoryStream source(stream);
    DigestSink sink(static_cast<uint64_t>(e.originalSize));
    payload::TCompress codec;
    uint32_t checksum = 0;
    codec.RunCodec(&sink, &source, static_cast<int32_t>(stream.size()), e.originalSize,
                   payload::kMethodLH5, checksum, payload::kDirectionExpand, false);
    return sink;
}

TEST(Lh5Corpus, EveryStreamDecodesToItsDigest) {
    const auto entries = ReadManifest();
    ASSERT_GE(entries.size(), 16u);
    for (const Entry& e : entries) {
        if (e.truncated) continue;
        SCOPED_TRACE(e.file);
        DigestSink sink = DecodeToDigest(e);
        EXPECT_GE(sink.Written(), static_cast<uint64_t>(e.originalSize));
        EXPECT_EQ(sink.Sha(), e.sha256);
    }
}

TEST(Lh5Corpus, TruncatedStreamEndsCleanlyWithABadCrc) {
    for (const Entry& e : ReadManifest()) {
        if (!e.truncated) continue;
        DigestSink sink = DecodeToDigest(e);
        EXPECT_GE(sink.Written(), static_cast<uint64_t>(e.originalSize));
        EXPECT_NE(sink.Crc(), e.crc16);
        return;
    }
    FAIL() << "no truncated stream in the manifest";
}

} // namespace
} // namespace qv::test
