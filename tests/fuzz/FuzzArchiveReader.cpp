// The archive reader on arbitrary bytes: the region (a PE signature table
// ends it), listing and testing through it, then expanding into a
// temporary folder. Only the component's own exceptions and file errors may
// leave it; anything else (a crash, a hang, a sanitizer report) is a finding.
#include "payload/RegionStream.h"
#include "payload/SignatureTable.h"
#include "payload/archive/Compress.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

// LZ members expand to their full OriginalSize whatever their data, so a few
// input bytes could ask for gigabytes; such inputs say nothing new.
constexpr int64_t kLargestExpansion = 1 << 20;

bool SmallEnough(const qv::payload::TMemberList& list) {
    int64_t total = 0;
    for (const auto& entry : list)
        total += entry.Info.OriginalSize;
    return total <= kLargestExpansion;
}

const std::filesystem::path& Scratch() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("qv-fuzz-archive-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

template <typename F> void IgnoringArchiveErrors(F&& run) {
    try {
        run();
    } catch (const qv::payload::EInvalidHeader&) {
    } catch (const qv::payload::EInvalidHeaderArchiveType&) {
    } catch (const qv::payload::EUnrecognizedCompressionMethod&) {
    } catch (const qv::payload::EInsufficientDiskSpace&) {
    } catch (const qv::payload::EBadChecksum&) {
    } catch (const qv::payload::EInvalidKey&) {
    } catch (const qv::payload::ELZHBadDecodeTable&) {
    } catch (const qv::payload::EFileStreamError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv::payload;
    const std::vector<uint8_t> bytes(data, data + size);
    TMemberList list;
    bool listed = false;
    IgnoringArchiveErrors([&] {
        auto whole = std::make_unique<TMemoryStream>(bytes);
        const TSignatureTable table = FindSignatureTable(whole.get());
        const int64_t end = ArchiveRegionEnd(whole.get(), table);
        TRegionStream in(std::move(whole), end);
        in.Seek(0, SeekOrigin::Begin);
        TCompress c;
        c.ListMembers(&in, list);
        listed = true;
        if (SmallEnough(list)) {
            in.Seek(0, SeekOrigin::Begin);
            c.TestMembers(&in);
        }
    });
    if (!listed || !SmallEnough(list)) return 0;
    const auto folder = Scratch();
    IgnoringArchiveErrors([&] {
        TMemoryStream in(bytes);
        TCompress c;
        c.MakeDirectories = true;
        c.SetTargetPath(folder.string());
        // Rooted names write from the file system's root: keep them in the scratch folder.
        c.OnCheckFile = [&](std::string& dest, TCProcessMode) {
            if (dest.rfind(c.TargetPath(), 0) != 0) dest.clear();
        };
        c.ExtractMembers(&in);
    });
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    return 0;
}
