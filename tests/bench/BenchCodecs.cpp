// Throughput of every method through RunCodec on in-memory data: bytes per
// second are counted on the uncompressed side in both directions.
#include "payload/archive/Compress.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using qv::payload::TCompress;
using qv::payload::TMemoryStream;
using Bytes = std::vector<uint8_t>;

// Text-like data that compresses to roughly a third, like documentation.
Bytes SampleText(size_t size) {
    static const char* const kWords[] = {"disc ",  "image ",  "the ",    "recorder ",
                                         "track ", "speed ",  "buffer ", "sector ",
                                         "\n",     "writes ", "of ",     "and "};
    std::mt19937 rng(42);
    Bytes out;
    while (out.size() < size) {
        for (const char* p = kWords[rng() % std::size(kWords)]; *p; ++p)
            out.push_back(static_cast<uint8_t>(*p));
        if (rng() % 7 == 0) out.push_back(static_cast<uint8_t>('A' + rng() % 26));
    }
    out.resize(size);
    return out;
}

Bytes Encode(uint8_t method, const Bytes& plain) {
    TCompress c;
    TMemoryStream src(plain), dst;
    uint32_t sum = 0;
    c.RunCodec(&dst, &src, static_cast<int32_t>(plain.size()), 0, method, sum, 0, false);
    return dst.Bytes();
}

void BM_Compress(benchmark::State& state) {
    const auto method = static_cast<uint8_t>(state.range(0));
    const Bytes plain = SampleText(8 << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(Encode(method, plain));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(plain.size()));
    state.counters["ratio%"] = 100.0 * static_cast<double>(Encode(method, plain).size()) /
                               static_cast<double>(plain.size());
}

void BM_Expand(benchmark::State& state) {
    const auto method = static_cast<uint8_t>(state.range(0));
    const Bytes plain = SampleText(8 << 20);
    const Bytes stored = Encode(method, plain);
    for (auto _ : state) {
        TCompress c;
        TMemoryStream src(stored), dst;
        dst.Bytes().reserve(plain.size() + 256);
        uint32_t sum = 0;
        c.RunCodec(&dst, &src, static_cast<int32_t>(stored.size()),
                   static_cast<int32_t>(plain.size()), method, sum, 1, false);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(plain.size()));
}

// 0 NON, 1 RLE, 2 LZH, 4 LH5
BENCHMARK(BM_Compress)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Expand)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace
