// The archive reader on arbitrary bytes: the region (a PE signature table
// ends it), listing and testing through it, then expanding into members
// kept in memory. Only the component's own exceptions and file errors may
// leave it; anything else (a crash, a hang, a sanitizer report) is a finding.
#include "payload/RegionStream.h"
#include "payload/SignatureTable.h"
#include "payload/archive/Compress.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace {

// LZ members expand to their full OriginalSize whatever their data, so a few
// input bytes could ask for gigabytes; such inputs say nothing new.
constexpr int64_t kLargestExpansion = 1 << 14;
constexpr const char* kTarget = "/fuzz-target/";

bool SmallEnough(const qv::payload::TMemberList& list) {
    int64_t total = 0;
    for (const auto& entry : list)
        total += entry.Info.OriginalSize;
    return total <= kLargestExpansion;
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
    // Members expand into memory: the walk, the names and the checks are
    // the same as into files, without a file system call per input.
    std::map<std::string, std::unique_ptr<TMemoryStream>> members;
    IgnoringArchiveErrors([&] {
        TMemoryStream in(bytes);
        TCompress c;
        c.SetTargetPath(kTarget);
        c.OnCheckFile = [&](std::string& dest, TCProcessMode) {
            if (dest.rfind(c.TargetPath(), 0) != 0) dest.clear();
        };
        c.OnCreateMember = [&](const std::string& dest) {
            auto& kept = members[dest];
            kept = std::make_unique<TMemoryStream>();
            return kept.get();
        };
        c.ExtractMembers(&in);
    });
    return 0;
}
