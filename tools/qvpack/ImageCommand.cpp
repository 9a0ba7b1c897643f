// image: the data-disc image of a folder.
#include "ArchiveSupport.h"
#include "Commands.h"
#include "ImageFiles.h"
#include "ProgressBar.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace qv::qvpack {

namespace {
constexpr const char* kImaging = "imaging";
constexpr const char* kWroteImage =
    "wrote %s: %" PRId64 " bytes (%" PRId64 " sectors), volume %s, from %s\n";
constexpr const char* kNeedFolderAndOut = "expected DIR and -o OUT";
constexpr const char* kNoStandardOutput = "an image cannot be written to standard output";
constexpr size_t kChunk = size_t{1} << 20;
} // namespace

int64_t WriteImageFile(const std::string& folder, const ImageOptions& options,
                       const std::string& path) {
    FolderImage image(folder, options);
    ReplacingOutput output(path);
    {
        payload::TFileStream dest(output.WritePath(), payload::TFileStream::Mode::Create);
        ProgressBar progress(kImaging, image.Size());
        std::vector<uint8_t> buffer(kChunk);
        int64_t done = 0;
        while (const size_t n = image.Read(buffer.data(), buffer.size())) {
            dest.Write(buffer.data(), static_cast<int32_t>(n));
            done += static_cast<int64_t>(n);
            progress.ShowDone(done);
        }
        dest.Flush();
    }
    output.Commit(false);
    return image.Size();
}

int RunImage(const Args& args) {
    std::vector<std::string> values = ImageValueOptions();
    values.push_back("-o");
    const ArgList a(args, values, ImageFlags());
    const auto out = a.Value("-o");
    if (!out || a.Positional().size() != 1) throw UsageError(kNeedFolderAndOut);
    if (*out == "-") throw UsageError(kNoStandardOutput);
    const std::string& folder = a.Positional()[0];
    const ImageOptions options = ImageOptionsFrom(a, folder);
    const int64_t size = WriteImageFile(folder, options, *out);
    std::printf(kWroteImage, out->c_str(), size, size / kSectorBytes, options.volumeId.c_str(),
                folder.c_str());
    return kExitOk;
}

} // namespace qv::qvpack
