#include "TestSupport.h"

#include <fstream>
#include <iterator>
#include <random>

namespace qv::test {

using payload::TCompress;
using payload::TMemoryStream;

CodecResult Encode(uint8_t method, const Bytes& input, int32_t key) {
    TCompress c;
    c.Key = key;
    TMemoryStream src(input), dst;
    CodecResult r;
    r.written = c.RunCodec(&dst, &src, static_cast<int32_t>(input.size()), 0, method, r.checksum,
                           payload::kDirectionCompress, false);
    r.output = dst.Bytes();
    return r;
}

CodecResult Decode(uint8_t method, const Bytes& stored, int32_t originalSize, int32_t key,
                   bool keyFlag) {
    TCompress c;
    c.Key = key;
    TMemoryStream src(stored), dst;
    CodecResult r;
    r.written = c.RunCodec(&dst, &src, static_cast<int32_t>(stored.size()), originalSize, method,
                           r.checksum, payload::kDirectionExpand, keyFlag);
    r.output = dst.Bytes();
    return r;
}

Bytes TextLike(size_t size, uint32_t salt) {
    static const char* const kWords[] = {"the ",   "disc ",   "image ", "recorder ", "writes ",
                                         "track ", "at ",     "once ",  "speed ",    "buffer ",
                                         "\r\n",   "sector ", "2048 ",  "archive ",  "member "};
    std::mt19937 rng(salt);
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const char* w = kWords[rng() % std::size(kWords)];
        for (const char* p = w; *p && out.size() < size; ++p)
            out.push_back(static_cast<uint8_t>(*p));
    }
    return out;
}

Bytes RandomBytes(size_t size, uint32_t salt) {
    std::mt19937 rng(salt * 7919u + 13u);
    Bytes out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

Bytes BinaryLike(size_t size, uint32_t salt) {
    // Structured records with small integers, zeros and repeats, like an executable.
    std::mt19937 rng(salt * 31u + 5u);
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const uint32_t kind = rng() % 4;
        const size_t n = 1 + rng() % 64;
        for (size_t i = 0; i < n && out.size() < size; ++i) {
            if (kind == 0)
                out.push_back(0);
            else if (kind == 1)
                out.push_back(static_cast<uint8_t>(i));
            else if (kind == 2)
                out.push_back(static_cast<uint8_t>(rng() % 16));
            else
                out.push_back(static_cast<uint8_t>(rng()));
        }
    }
    return out;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CorpusDir() {
    return QV_CORPUS_DIR;
}

} // namespace qv::test
