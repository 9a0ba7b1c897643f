// LH5 expansion of real peer streams through RunCodec into a sink that only
// counts: the decoder and the engine's per-buffer work, no stream copying.
// Bytes per second are counted on the uncompressed side.
#include "payload/archive/Compress.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using qv::payload::TCompress;
using qv::payload::TMemoryStream;

class CountingSink : public qv::payload::TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void*, int32_t count) override { size_ += count; }
    int64_t Seek(int64_t, qv::payload::SeekOrigin) override { return size_; }
    int64_t Size() override { return size_; }

private:
    int64_t size_ = 0;
};

// The shared peer corpus beside the repository, or QV_CORPUS_DIR.
std::string CorpusFile(const char* name) {
    if (const char* dir = std::getenv("QV_CORPUS_DIR")) return std::string(dir) + "/" + name;
    std::string here = __FILE__;
    here.erase(here.find_last_of('/') + 1);
    return here + "../../../shared/corpus/lh5/" + name;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

void ExpandCorpusStream(benchmark::State& state, const char* name, int32_t originalSize) {
    const std::vector<uint8_t> stored = ReadAll(CorpusFile(name));
    if (stored.empty()) {
        state.SkipWithError("peer corpus not found (set QV_CORPUS_DIR)");
        return;
    }
    for (auto _ : state) {
        TCompress codec;
        TMemoryStream source(stored);
        CountingSink sink;
        uint32_t checksum = 0;
        codec.RunCodec(&sink, &source, static_cast<int32_t>(stored.size()), originalSize,
                       qv::payload::kMethodLH5, checksum, qv::payload::kDirectionExpand, false);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * originalSize);
}

// Text and binaries of an MS-DOS archiver; an Atari one; and 424 MB from 24 KB.
BENCHMARK_CAPTURE(ExpandCorpusStream, lha213_long, "lha213__lh5_long__0.lh5", 1241658)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ExpandCorpusStream, lharc_atari, "lharc_atari_313a__shorter__0.lh5", 286015)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ExpandCorpusStream, huge, "morphos_lha_2717__h2_huge__0.lh5", 423624704)
    ->Unit(benchmark::kMillisecond);

} // namespace
