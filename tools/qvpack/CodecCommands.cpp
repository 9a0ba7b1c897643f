// encode / decode: one raw member stream through RunCodec, no archive header.
#include "CliSupport.h"
#include "Commands.h"
#include "ProgressBar.h"

#include <cinttypes>
#include <cstdio>

namespace qv::qvpack {

namespace {
using payload::kMethodLH5;
using payload::kMethodLZH;
using payload::kMethodNON;
using payload::kMethodRLE;

const std::vector<uint8_t> kCodecMethods = {kMethodNON, kMethodRLE, kMethodLZH, kMethodLH5};
constexpr int64_t kLargestMember = 0x7FFFFFFF;

struct CodecJob {
    std::string in, out;
    uint8_t method = kMethodLH5;
    int32_t key = 0;
};

CodecJob ParseJob(const ArgList& a) {
    if (a.Positional().size() != 2) throw UsageError("expected IN and OUT");
    CodecJob job;
    job.in = a.Positional()[0];
    job.out = a.Positional()[1];
    const auto method = a.Value("-m");
    if (!method) throw UsageError("the method (-m) is required");
    job.method = ParseMethod(*method, kCodecMethods);
    if (const auto key = a.Value("-k")) job.key = ParseInt32(*key, "key");
    return job;
}

void Report(const CodecJob& job, const char* verb, int64_t inBytes, int64_t outBytes,
            uint32_t checksum, uint64_t micros) {
    std::FILE* to = job.out == "-" ? stderr : stdout;
    const double seconds = static_cast<double>(micros) / 1e6;
    const int64_t plain = std::string(verb) == "encoded" ? inBytes : outBytes;
    const double mbps = seconds > 0 ? static_cast<double>(plain) / 1e6 / seconds : 0.0;
    const double ratio =
        plain > 0
            ? 100.0 * static_cast<double>(std::string(verb) == "encoded" ? outBytes : inBytes) /
                  static_cast<double>(plain)
            : 100.0;
    std::fprintf(to,
                 "%s %s: %" PRId64 " -> %" PRId64 " bytes (%.1f %%), method %s, checksum %08" PRIX32
                 ", %.3f s, %.1f MB/s\n",
                 verb, job.in.c_str(), inBytes, outBytes, ratio,
                 std::string(payload::kMethodIds[job.method]).c_str(), checksum, seconds, mbps);
}

// Runs the codec; on failure the half-written output file is removed.
int RunJob(const CodecJob& job, uint8_t direction, int32_t originalSize) {
    int64_t inSize = 0;
    auto input = OpenSizedInput(job.in, inSize);
    if (inSize > kLargestMember) throw UsageError(job.in + " is larger than 2 GiB - 1");
    payload::TCompress compress;
    compress.Key = job.key;
    ProgressBar bar(direction == payload::kDirectionCompress ? "encoding" : "decoding", inSize);
    bar.StartMember(inSize);
    compress.OnShowProgress = bar.Handler();
    uint32_t checksum = 0;
    const uint64_t start = NowTicks();
    int64_t outBytes = 0;
    try {
        auto output = OpenOutput(job.out);
        outBytes = compress.RunCodec(output.get(), input.get(), static_cast<int32_t>(inSize),
                                     originalSize, job.method, checksum, direction, job.key != 0);
        if (auto* f = dynamic_cast<payload::TFileStream*>(output.get())) f->Flush();
    } catch (...) {
        RemovePartialOutput(job.out);
        throw;
    }
    Report(job, direction == payload::kDirectionCompress ? "encoded" : "decoded", inSize, outBytes,
           checksum, NowTicks() - start);
    return kExitOk;
}
} // namespace

int RunEncode(const Args& args) {
    const ArgList a(args, {"-m", "-k"}, {});
    return RunJob(ParseJob(a), payload::kDirectionCompress, 0);
}

int RunDecode(const Args& args) {
    const ArgList a(args, {"-m", "-k", "-s"}, {});
    const auto size = a.Value("-s");
    if (!size) throw UsageError("the original size (-s) is required");
    const int32_t originalSize = ParseInt32(*size, "original size");
    if (originalSize < 0) throw UsageError("the original size must not be negative");
    return RunJob(ParseJob(a), payload::kDirectionExpand, originalSize);
}

} // namespace qv::qvpack
