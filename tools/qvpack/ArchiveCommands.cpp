// l / t / x / a / applet: archives and applet payloads through TCompress.
#include "ArchiveSupport.h"
#include "CliSupport.h"
#include "Commands.h"
#include "ProgressBar.h"
#include "payload/RegionStream.h"
#include "payload/SignatureTable.h"
#include "payload/WorkingFiles.h"
#include "payload/archive/ArchivePaths.h"
#include "platform/Files.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace qv::qvpack {

namespace {
using payload::TCompress;
using payload::TFileStream;
using payload::TStringList;

const std::vector<uint8_t> kArchiveMethods = {payload::kMethodNON, payload::kMethodRLE,
                                              payload::kMethodLZH, payload::kMethodLH5};
const std::vector<uint8_t> kAppletMethods = {payload::kMethodLH5, payload::kMethodRLE};

constexpr const char* kListHeading = "%12s %12s %6s %-6s %-19s %-5s %-6s %s\n";
constexpr const char* kListRow = "%12" PRId32 " %12" PRId32 " %5.1f%% %-6s %-19s %-5s %-6s %s\n";
constexpr const char* kListTotal = "%12" PRId64 " %12" PRId64 " %5.1f%% %zu member(s)\n";
constexpr const char* kArchiveAt = "archive at offset %" PRId64 ", method %s\n";
constexpr const char* kTestGood = "ok   %s\n";
constexpr const char* kTestBad = "BAD  %s: %s\n";
constexpr const char* kTestSummary = "%zu member(s), %zu bad\n";
constexpr const char* kSigned =
    "signed: a code signature of %" PRId64 " bytes follows the archive\n";
constexpr const char* kTrailing = "%" PRId64 " bytes follow the archive\n";
constexpr const char* kCutData =
    "the archive ends %" PRId64 " bytes before its last member's data\n";
constexpr const char* kCutEarly = "the archive ends early: its members hold %" PRId64
                                  " of the %" PRId32 " bytes its header names\n";
// The files the run extracts by these names; without one it stops at once.
constexpr const char* kRunFiles[] = {payload::kContentFile, payload::kEngineFile,
                                     payload::kDiscImageFile};
// What the applet's console then shows the end user.
constexpr const char* kUserSees = "Required files are missing!";
constexpr const char* kRunFileMissing =
    "qvpack: %s: %s is not among the files; the end user would see \"%s\" at the start "
    "of the run\n";
constexpr const char* kStrictRefused = "a file the run needs is missing (--strict)";
constexpr const char* kPacking = "packing";
constexpr const char* kTesting = "testing";
constexpr const char* kExtracting = "extracting";
// The signing tool pads the file to a multiple of eight before its table.
constexpr int64_t kSignatureAlignment = 8;
constexpr const char* kRootedRefused = "qvpack: skipped %s: rooted name (use --allow-rooted)\n";
constexpr const char* kNameMissing = "qvpack: not in the archive: %s\n";
constexpr const char* kExtracted = "extracted %zu file(s) into %s\n";
constexpr const char* kWrote =
    "wrote %s: %zu member(s), %" PRId64 " -> %" PRId64 " bytes (%.1f %%), method %s\n";
constexpr const char* kWroteApplet =
    "wrote %s: bare applet of %" PRId64 " bytes + payload of %" PRId64
    " bytes, %zu member(s), method %s\n";
constexpr const char* kStubTooShort = " is shorter than its stamped payload offset";
constexpr const char* kNoFiles = "expected FILE...";
constexpr const char* kTwoGiB = "the archive would reach 2 GiB";

struct OpenedArchive {
    std::unique_ptr<payload::TStream> stream; // ends where a signature begins
    int64_t offset = 0;
    payload::TSignatureTable signature;
};

OpenedArchive OpenArchive(const std::string& path, const ArgList& a) {
    OpenedArchive archive;
    archive.stream = OpenInput(path);
    if (path != "-") {
        archive.signature = payload::FindSignatureTable(archive.stream.get());
        const int64_t end = payload::ArchiveRegionEnd(archive.stream.get(), archive.signature);
        archive.stream = std::make_unique<payload::TRegionStream>(std::move(archive.stream), end);
    }
    archive.offset = LocateArchive(archive.stream.get(), path, a.Value("--offset"));
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    return archive;
}

int32_t KeyOption(const ArgList& a) {
    const auto key = a.Value("-k");
    return key ? ParseInt32(*key, "key") : 0;
}

const std::string& SingleFile(const ArgList& a) {
    if (a.Positional().size() != 1) throw UsageError("expected one FILE");
    return a.Positional()[0];
}

std::string MethodName(uint8_t method) {
    return method < payload::kMethodIds.size() ? std::string(payload::kMethodIds[method]) : "?";
}

payload::TMemberList ListAt(TCompress& compress, OpenedArchive& archive,
                            payload::TArchiveExtent* extent = nullptr) {
    payload::TMemberList members;
    const payload::TArchiveExtent reached = compress.ListMembers(archive.stream.get(), members);
    if (extent) *extent = reached;
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    return members;
}

void ShowSignature(const OpenedArchive& archive) {
    if (archive.signature.Present()) std::printf(kSigned, archive.signature.Size);
}

// Bytes between the archive's end and the region's that a signing tool's
// alignment does not explain; they are zeros when it wrote them.
int64_t TrailingBytes(OpenedArchive& archive, const payload::TArchiveExtent& extent) {
    const int64_t trailing = archive.stream->Size() - extent.End;
    if (!archive.signature.Present() || trailing <= 0 || trailing >= kSignatureAlignment)
        return trailing;
    uint8_t pad[kSignatureAlignment] = {};
    archive.stream->Seek(extent.End, payload::SeekOrigin::Begin);
    const int32_t n = archive.stream->Read(pad, static_cast<int32_t>(trailing));
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    const bool zeros = std::all_of(pad, pad + n, [](uint8_t b) { return b == 0; });
    return n == trailing && zeros ? 0 : trailing;
}

// One line per fault of the archive's extent; true when there was none.
bool ExtentIsSound(OpenedArchive& archive, const payload::TArchiveExtent& extent) {
    if (extent.MissingBytes > 0) {
        std::printf(kCutData, extent.MissingBytes);
        return false;
    }
    if (!extent.Complete) {
        std::printf(kCutEarly, extent.ListedSize, extent.TotalSize);
        return false;
    }
    const int64_t trailing = TrailingBytes(archive, extent);
    if (trailing > 0) {
        std::printf(kTrailing, trailing);
        return false;
    }
    return true;
}

struct WrittenSizes {
    int64_t original = 0;
    int64_t stored = 0;
};

// Writes the listed files as an archive at dest's position.
WrittenSizes WriteFiles(TCompress& compress, payload::TStream* dest, TStringList& files,
                        uint8_t method) {
    SizeByName sizes;
    WrittenSizes written;
    for (const auto& f : files) {
        const int64_t size = platform::FileSize(f);
        sizes[payload::paths::StoredNameOf(f, compress.TargetPath())] = size;
        written.original += size;
    }
    // TotalSize is a signed 32-bit field: beyond it expansion would stop early.
    if (written.original > 0x7FFFFFFF) throw DataError(kTwoGiB);
    ProgressBar progress(kPacking, written.original);
    compress.OnShowProgress = progress.Handler();
    compress.OnCheckFile = [&](std::string& name, payload::TCProcessMode) {
        progress.StartMember(sizes[name]);
    };
    compress.ExceptionOnFileError = true;
    const int64_t start = dest->Position();
    compress.WriteArchive(dest, files, method);
    written.stored = dest->Size() - start;
    return written;
}
} // namespace

int RunList(const Args& args) {
    const ArgList a(args, {"--offset"}, {});
    const std::string& path = SingleFile(a);
    OpenedArchive archive = OpenArchive(path, a);
    TCompress compress;
    const payload::TArchiveHeader header = compress.ReadArchiveHeader(archive.stream.get());
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    const payload::TMemberList members = ListAt(compress, archive);
    std::printf(kArchiveAt, archive.offset, header.CompressID.c_str());
    ShowSignature(archive);
    std::printf(kListHeading, "Original", "Stored", "Ratio", "Method", "Date", "Attr", "Locked",
                "Name");
    int64_t original = 0, stored = 0;
    for (const auto& [name, info] : members) {
        std::printf(kListRow, info.OriginalSize, info.CompressedSize,
                    RatioPercent(info.OriginalSize, info.CompressedSize),
                    MethodName(info.Method).c_str(), FormatDosDate(info.FileDate).c_str(),
                    FormatAttributes(info.Attributes).c_str(), info.Locked ? "yes" : "no",
                    name.c_str());
        original += info.OriginalSize;
        stored += info.CompressedSize;
    }
    std::printf(kListTotal, original, stored, RatioPercent(original, stored), members.size());
    return kExitOk;
}

int RunTest(const Args& args) {
    const ArgList a(args, {"--offset", "-k"}, {});
    OpenedArchive archive = OpenArchive(SingleFile(a), a);
    TCompress compress;
    compress.Key = KeyOption(a);
    ShowSignature(archive);
    payload::TArchiveExtent extent;
    const payload::TMemberList members = ListAt(compress, archive, &extent);
    std::vector<int64_t> sizes;
    int64_t total = 0;
    for (const auto& member : members) {
        sizes.push_back(member.Info.CompressedSize);
        total += member.Info.CompressedSize;
    }
    std::vector<payload::TMemberTestResult> results;
    {
        ProgressBar progress(kTesting, total);
        progress.FollowMembers(std::move(sizes));
        compress.OnShowProgress = progress.Handler();
        results = compress.TestMembers(archive.stream.get());
    }
    size_t bad = 0;
    for (const auto& r : results) {
        if (r.Error.empty()) {
            std::printf(kTestGood, r.Name.c_str());
        } else {
            std::printf(kTestBad, r.Name.c_str(), r.Error.c_str());
            ++bad;
        }
    }
    const bool sound = ExtentIsSound(archive, extent);
    std::printf(kTestSummary, results.size(), bad);
    return bad == 0 && sound ? kExitOk : kExitDataError;
}

int RunExtract(const Args& args) {
    const ArgList a(args, {"--offset", "-k", "-C"}, {"--allow-rooted"});
    if (a.Positional().empty()) throw UsageError("expected FILE");
    OpenedArchive archive = OpenArchive(a.Positional()[0], a);
    TStringList names(a.Positional().begin() + 1, a.Positional().end());
    TCompress compress;
    compress.Key = KeyOption(a);
    const std::string folder = AbsoluteFolder(a.Value("-C").value_or(""));
    compress.SetTargetPath(folder);
    compress.MakeDirectories = true;
    compress.ExceptionOnFileError = true;
    compress.CheckSpaceBeforeExpand = true;

    const payload::TMemberList members = ListAt(compress, archive);
    SizeByName sizes;
    int64_t total = 0;
    for (const auto& member : members) {
        const std::string& name = member.Name;
        const bool wanted =
            names.empty() || std::any_of(names.begin(), names.end(), [&](const auto& n) {
                return payload::paths::EqualNoCase(n, name);
            });
        sizes[payload::paths::IsRooted(name) ? name : compress.TargetPath() + name] =
            member.Info.CompressedSize;
        if (wanted) total += member.Info.CompressedSize;
    }
    size_t missing = 0;
    for (const auto& wanted : names) {
        const bool present = std::any_of(members.begin(), members.end(), [&](const auto& m) {
            return payload::paths::EqualNoCase(m.Name, wanted);
        });
        if (!present) {
            std::fprintf(stderr, kNameMissing, wanted.c_str());
            ++missing;
        }
    }

    size_t refused = 0;
    size_t accepted = 0;
    const bool allowRooted = a.Flag("--allow-rooted");
    ProgressBar progress(kExtracting, total);
    compress.OnShowProgress = progress.Handler();
    compress.OnCheckFile = [&](std::string& dest, payload::TCProcessMode) {
        const std::string& target = compress.TargetPath();
        if (!allowRooted && dest.compare(0, target.size(), target) != 0) {
            std::fprintf(stderr, kRootedRefused, dest.c_str());
            ++refused;
            dest.clear();
            return;
        }
        ++accepted;
        progress.StartMember(sizes[dest]);
    };
    TStringList selection = names;
    compress.ExtractMembers(archive.stream.get(), names.empty() ? nullptr : &selection);
    std::printf(kExtracted, accepted, folder.c_str());
    return missing == 0 && refused == 0 ? kExitOk : kExitDataError;
}

int RunAdd(const Args& args) {
    const ArgList a(args, {"-m", "-k", "-C"}, {});
    if (a.Positional().size() < 2) throw UsageError("expected OUT and FILE...");
    const auto method = a.Value("-m");
    if (!method) throw UsageError("the method (-m) is required");
    const uint8_t m = ParseMethod(*method, kArchiveMethods);
    const std::string& out = a.Positional()[0];
    if (out == "-") throw UsageError("an archive cannot be written to standard output");
    TCompress compress;
    compress.Key = KeyOption(a);
    const std::string base = AbsoluteFolder(a.Value("-C").value_or(""));
    compress.SetTargetPath(base);
    TStringList files = CollectFiles(
        base, std::vector<std::string>(a.Positional().begin() + 1, a.Positional().end()));
    WrittenSizes sizes;
    try {
        TFileStream dest(out, TFileStream::Mode::Create);
        sizes = WriteFiles(compress, &dest, files, m);
        dest.Flush();
    } catch (...) {
        RemovePartialOutput(out);
        throw;
    }
    std::printf(kWrote, out.c_str(), files.size(), sizes.original, sizes.stored,
                RatioPercent(sizes.original, sizes.stored), MethodName(m).c_str());
    return kExitOk;
}

// Warns of each run file the payload would lack; true when none is missing.
bool HasRunFiles(const TStringList& files, const std::string& targetPath, const char* level) {
    bool complete = true;
    for (const char* needed : kRunFiles) {
        const bool present = std::any_of(files.begin(), files.end(), [&](const std::string& f) {
            return payload::paths::EqualNoCase(payload::paths::StoredNameOf(f, targetPath), needed);
        });
        if (present) continue;
        std::fprintf(stderr, kRunFileMissing, level, needed, kUserSees);
        complete = false;
    }
    return complete;
}

int RunApplet(const Args& args) {
    const ArgList a(args, {"--stub", "-m", "-o", "-C"}, {"--strict"});
    const auto stubPath = a.Value("--stub");
    const auto out = a.Value("-o");
    const auto method = a.Value("-m");
    if (!stubPath || !out || !method) throw UsageError("--stub, -m and -o are required");
    if (a.Positional().empty()) throw UsageError(kNoFiles);
    const uint8_t m = ParseMethod(*method, kAppletMethods);
    auto stub = OpenInput(*stubPath);
    const payload::TSignatureTable stubSignature = payload::FindSignatureTable(stub.get());
    const int64_t bareSize = StampedBareSize(stub.get(), *stubPath);
    if (stub->Size() < bareSize) throw DataError(*stubPath + kStubTooShort);

    TCompress compress;
    const std::string base = AbsoluteFolder(a.Value("-C").value_or(""));
    compress.SetTargetPath(base);
    TStringList files = CollectFiles(base, a.Positional());
    const bool strict = a.Flag("--strict");
    if (!HasRunFiles(files, compress.TargetPath(), strict ? "error" : "warning") && strict)
        throw DataError(kStrictRefused);
    WrittenSizes sizes;
    try {
        TFileStream dest(*out, TFileStream::Mode::Create);
        stub->Seek(0, payload::SeekOrigin::Begin);
        // Only the bare part of the stub: a payload it already carries is dropped.
        std::vector<uint8_t> buffer(1 << 16);
        for (int64_t left = bareSize; left > 0;) {
            const auto want = static_cast<int32_t>(std::min<int64_t>(left, 1 << 16));
            const int32_t n = stub->Read(buffer.data(), want);
            if (n <= 0) throw DataError(*stubPath + kStubTooShort);
            dest.Write(buffer.data(), n);
            left -= n;
        }
        payload::ClearSignatureEntry(&dest, stubSignature); // the publisher signs the result
        sizes = WriteFiles(compress, &dest, files, m);
        dest.Flush();
    } catch (...) {
        RemovePartialOutput(*out);
        throw;
    }
    std::printf(kWroteApplet, out->c_str(), bareSize, sizes.stored, files.size(),
                MethodName(m).c_str());
    return kExitOk;
}

} // namespace qv::qvpack
