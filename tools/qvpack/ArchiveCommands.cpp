// l / t / x / a / applet: archives and applet payloads through TCompress.
#include "ArchiveSupport.h"
#include "CliSupport.h"
#include "Commands.h"
#include "ImageFiles.h"
#include "ImageStream.h"
#include "OpenedArchive.h"
#include "ProgressBar.h"
#include "TemporaryFolder.h"
#include "payload/UnitCompress.h"
#include "payload/WorkingFiles.h"
#include "payload/archive/ArchivePaths.h"
#include "platform/Files.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <optional>

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
constexpr const char* kVerdictGood = "the archive is good: %zu member(s) pass their checks\n";
constexpr const char* kVerdictBadMembers =
    "the archive is damaged: %zu of %zu member(s) fail their checks\n";
constexpr const char* kListEnd = "the archive ends at offset %" PRId64 "\n";
constexpr const char* kFaultLine = "qvpack: %s\n";
constexpr const char* kWarningLine = "qvpack: warning: %s\n";
constexpr const char* kMemberFailed = "qvpack: %s: %s\n";
constexpr const char* kMemberLost = "qvpack: lost to the cut: %s\n";
constexpr const char* kSigned =
    "signed: a code signature of %" PRId64 " bytes follows the archive\n";
// The files the run extracts by these names; without one it stops at once.
constexpr const char* kRunFiles[] = {payload::kContentFile, payload::kEngineFile,
                                     payload::kDiscImageFile};
// What the applet's console then shows the end user.
constexpr const char* kUserSees = "Required files are missing!";
constexpr const char* kRunFileMissing =
    "qvpack: %s: %s is not among the files; the end user would see \"%s\" at the start "
    "of the run\n";
constexpr const char* kStrictRefused = "a file the run needs is missing (--strict)";
constexpr const char* kStrictUnused = "a file the run never extracts is among the files (--strict)";
// Every member the run extracts; anything else would only make the applet larger.
constexpr const char* kExtractedByRun[] = {payload::kContentFile, payload::kEngineFile,
                                           payload::kCarriedAspiFile, payload::kDiscImageFile};
constexpr const char* kNotExtracted = "qvpack: %s: the run never extracts %s\n";
constexpr const char* kAspiHint =
    "qvpack: the run installs the ASPI layer from the member %s: store the library under "
    "that name\n";
constexpr const char* kPacking = "packing";
constexpr const char* kTesting = "testing";
constexpr const char* kExtracting = "extracting";
constexpr const char* kLinkRefused =
    "qvpack: skipped %s: a symbolic link lies in its way inside the target folder\n";
constexpr const char* kRootedRefused = "qvpack: skipped %s: rooted name (use --allow-rooted)\n";
constexpr const char* kNameMissing = "qvpack: not in the archive: %s\n";
constexpr const char* kNameMissingCut =
    "qvpack: not among the archive's whole members (the archive is cut short): %s\n";
constexpr const char* kExtracted = "extracted %zu file(s) into %s\n";
constexpr const char* kWrote =
    "wrote %s: %zu member(s), %" PRId64 " -> %" PRId64 " bytes (%.1f %%), method %s\n";
constexpr const char* kWroteApplet =
    "wrote %s: bare applet of %" PRId64 " bytes + payload of %" PRId64
    " bytes, %zu member(s), method %s\n";
constexpr const char* kStubTooShort = " is shorter than its stamped payload offset";
constexpr const char* kNoFiles = "expected FILE... (or --folder DIR)";
constexpr const char* kImageTwice = "--folder makes qvi9cd.qv: leave that file out of FILE...";
constexpr const char* kImageOptionAlone = "the image's options go with --folder DIR";
constexpr const char* kTitleTwice =
    "--title makes qvorig.qv: leave it out, or drop --title to keep the publisher's own";
constexpr const char* kTwoGiB = "the archive would reach 2 GiB";

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

struct WrittenSizes {
    int64_t original = 0;
    int64_t stored = 0;
};

// A member the command makes itself: its data comes from the stream, and
// no file lies at the path.
struct MadeMember {
    std::string path;
    std::unique_ptr<payload::TStream> stream;
    uint32_t fileDate = 0;
};
constexpr uint16_t kArchiveAttribute = 0x20;

// Writes the listed files as an archive at dest's position.
WrittenSizes WriteFiles(TCompress& compress, payload::TStream* dest, TStringList& files,
                        uint8_t method, MadeMember* made = nullptr) {
    SizeByName sizes;
    WrittenSizes written;
    const auto isMade = [made](const std::string& f) {
        return made && made->stream && f == made->path;
    };
    for (const auto& f : files) {
        const int64_t size = isMade(f) ? made->stream->Size() : platform::FileSize(f);
        sizes[payload::paths::StoredNameOf(f, compress.TargetPath())] = size;
        written.original += size;
    }
    // TotalSize is a signed 32-bit field: beyond it expansion would stop early.
    if (written.original > 0x7FFFFFFF) throw DataError(kTwoGiB);
    ProgressBar progress(kPacking, written.original);
    compress.OnShowProgress = progress.Handler();
    compress.OnCheckFile = [&](std::string& name, payload::TCProcessMode) {
        progress.StartMember(sizes[name]);
        name = StoredName(name, {});
    };
    compress.OnOpenMember = [&](const std::string& path) {
        payload::TMemberSource source;
        if (!isMade(path)) return source;
        source.Stream = std::move(made->stream);
        source.FileDate = made->fileDate;
        source.Attributes = kArchiveAttribute;
        return source;
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
    const std::string missing = MissingArchiveFault(archive);
    if (!missing.empty()) {
        ShowSignature(archive);
        std::fprintf(stderr, kFaultLine, missing.c_str());
        return kExitDataError;
    }
    TCompress compress;
    const payload::TArchiveHeader header = compress.ReadArchiveHeader(archive.stream.get());
    archive.stream->Seek(archive.offset, payload::SeekOrigin::Begin);
    payload::TArchiveExtent extent;
    const payload::TMemberList members = ListAt(compress, archive, &extent);
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
    std::printf(kListEnd, extent.End);
    const std::string fault = ExtentFault(archive, extent, members.size());
    if (fault.empty()) return kExitOk;
    std::fprintf(stderr, kWarningLine, fault.c_str());
    return kExitDataError;
}

int RunTest(const Args& args) {
    const ArgList a(args, {"--offset", "-k"}, {});
    OpenedArchive archive = OpenArchive(SingleFile(a), a);
    ShowSignature(archive);
    const std::string missing = MissingArchiveFault(archive);
    if (!missing.empty()) {
        std::printf("%s\n", missing.c_str());
        return kExitDataError;
    }
    TCompress compress;
    compress.Key = KeyOption(a);
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
    std::printf(kTestSummary, results.size(), bad);
    // One verdict closes the output: where members are lost comes first.
    const std::string fault = ExtentFault(archive, extent, members.size());
    if (extent.MissingBytes > 0 || !extent.Complete || (!fault.empty() && bad == 0))
        std::printf("%s\n", fault.c_str());
    else if (bad > 0)
        std::printf(kVerdictBadMembers, bad, results.size());
    else
        std::printf(kVerdictGood, results.size());
    return bad == 0 && fault.empty() ? kExitOk : kExitDataError;
}

namespace {
// The member being written when an extraction fails. Extraction replaces a
// file by a new one, so a file there now that is not the one there before
// is this command's partial output and goes; a failure before the member's
// file was made (no space, say) leaves the old file as it was.
struct MemberInProgress {
    std::string path;
    std::optional<std::filesystem::file_time_type> before;
    void Start(const std::string& dest) {
        path = dest;
        before = ModifiedAt(dest);
    }
    void RemoveIfOurs() const {
        if (path.empty()) return;
        const auto now = ModifiedAt(path);
        if (now && (!before || *now != *before)) RemovePartialOutput(path);
    }
    static std::optional<std::filesystem::file_time_type> ModifiedAt(const std::string& file) {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(file, error);
        if (error) return std::nullopt;
        return time;
    }
};

// True when the destination, or a folder between the target and it, is a
// symbolic link: extraction writes only into folders and files of its own
// target, never through a link someone left there.
bool PassesThroughLink(const std::string& target, const std::string& dest) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path base(target);
    fs::path at = base;
    for (const auto& part : fs::path(dest).lexically_relative(base)) {
        at /= part;
        if (fs::is_symlink(at, error)) return true;
    }
    return false;
}

size_t ReportMissingNames(const TStringList& names, const payload::TMemberList& members, bool cut) {
    size_t missing = 0;
    for (const auto& wanted : names) {
        const bool present = std::any_of(members.begin(), members.end(), [&](const auto& m) {
            return payload::paths::EqualNoCase(m.Name, wanted);
        });
        if (present) continue;
        std::fprintf(stderr, cut ? kNameMissingCut : kNameMissing, wanted.c_str());
        ++missing;
    }
    return missing;
}
} // namespace

int RunExtract(const Args& args) {
    const ArgList a(args, {"--offset", "-k", "-C"}, {"--allow-rooted"});
    if (a.Positional().empty()) throw UsageError("expected FILE");
    OpenedArchive archive = OpenArchive(a.Positional()[0], a);
    const std::string missingArchive = MissingArchiveFault(archive);
    if (!missingArchive.empty()) {
        std::fprintf(stderr, kFaultLine, missingArchive.c_str());
        return kExitDataError;
    }
    TStringList names(a.Positional().begin() + 1, a.Positional().end());
    TCompress compress;
    compress.Key = KeyOption(a);
    const std::string folder = AbsoluteFolder(a.Value("-C").value_or(""));
    compress.SetTargetPath(folder);
    compress.MakeDirectories = true;
    compress.ExceptionOnFileError = true;
    compress.CheckSpaceBeforeExpand = true;

    payload::TArchiveExtent extent;
    const payload::TMemberList members = ListAt(compress, archive, &extent);
    const std::string fault = ExtentFault(archive, extent, members.size());
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
    const bool cut = extent.MissingBytes > 0 || !extent.Complete;
    const size_t missing = ReportMissingNames(names, members, cut);

    size_t refused = 0;
    size_t accepted = 0;
    const bool allowRooted = a.Flag("--allow-rooted");
    MemberInProgress current;
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
        if (PassesThroughLink(target, dest)) {
            std::fprintf(stderr, kLinkRefused, dest.c_str());
            ++refused;
            dest.clear();
            return;
        }
        ++accepted;
        current.Start(dest);
        progress.StartMember(sizes[dest]);
    };
    TStringList selection = names;
    try {
        compress.ExtractMembers(archive.stream.get(), names.empty() ? nullptr : &selection);
    } catch (const std::exception& e) {
        current.RemoveIfOurs();
        if (current.path.empty())
            std::fprintf(stderr, kFaultLine, e.what());
        else
            std::fprintf(stderr, kMemberFailed, current.path.c_str(), e.what());
        return kExitDataError;
    }
    std::printf(kExtracted, accepted, folder.c_str());
    if (!fault.empty()) {
        std::fprintf(stderr, kFaultLine, fault.c_str());
        if (!extent.CutMember.empty()) std::fprintf(stderr, kMemberLost, extent.CutMember.c_str());
    }
    return missing == 0 && refused == 0 && fault.empty() ? kExitOk : kExitDataError;
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
    ReplacingOutput output(out);
    {
        TFileStream dest(output.WritePath(), TFileStream::Mode::Create);
        sizes = WriteFiles(compress, &dest, files, m);
        dest.Flush();
    }
    output.Commit(false);
    std::printf(kWrote, out.c_str(), files.size(), sizes.original, sizes.stored,
                RatioPercent(sizes.original, sizes.stored), MethodName(m).c_str());
    return kExitOk;
}

// Warns of each file the run never extracts; true when there is none.
bool OnlyRunFiles(const TStringList& files, const std::string& targetPath, const char* level) {
    bool only = true;
    for (const auto& f : files) {
        const std::string stored = StoredName(f, targetPath);
        const bool used =
            std::any_of(std::begin(kExtractedByRun), std::end(kExtractedByRun),
                        [&](const char* n) { return payload::paths::EqualNoCase(stored, n); });
        if (used) continue;
        std::fprintf(stderr, kNotExtracted, level, stored.c_str());
        if (payload::paths::EqualNoCase(stored, payload::kInstalledAspiFile))
            std::fprintf(stderr, kAspiHint, payload::kCarriedAspiFile);
        only = false;
    }
    return only;
}

// Warns of each run file the payload would lack; true when none is missing.
bool HasRunFiles(const TStringList& files, const std::string& targetPath, const char* level) {
    bool complete = true;
    for (const char* needed : kRunFiles) {
        const bool present = std::any_of(files.begin(), files.end(), [&](const std::string& f) {
            return payload::paths::EqualNoCase(StoredName(f, targetPath), needed);
        });
        if (present) continue;
        std::fprintf(stderr, kRunFileMissing, level, needed, kUserSees);
        complete = false;
    }
    return complete;
}

bool HoldsMember(const TStringList& files, const std::string& targetPath, const char* member) {
    return std::any_of(files.begin(), files.end(), [&](const std::string& f) {
        return payload::paths::EqualNoCase(StoredName(f, targetPath), member);
    });
}

// --folder and --title: the content description is written in a folder of
// the command's own, the image is made while the coder reads it; both go in
// under the names the run uses.
void AddMadeFiles(const ArgList& a, const std::string& targetPath, TStringList& files,
                  std::optional<TemporaryFolder>& made, MadeMember& image) {
    const auto folder = a.Value("--folder");
    const auto title = a.Value("--title");
    if (!folder && !title) return;
    if (folder && HoldsMember(files, targetPath, payload::kDiscImageFile))
        throw UsageError(kImageTwice);
    if (title && HoldsMember(files, targetPath, payload::kContentFile))
        throw UsageError(kTitleTwice);
    made.emplace();
    if (title) {
        files.push_back(made->PathOf(payload::kContentFile));
        WriteContentDescription(*title, files.back());
    }
    if (folder) {
        image.path = made->PathOf(payload::kDiscImageFile);
        image.stream = std::make_unique<ImageStream>(*folder, ImageOptionsFrom(a, *folder));
        image.fileDate = platform::FileDosDateTime(*folder);
        files.push_back(image.path);
    }
}

// The image's options without --folder would be ignored: say so instead.
void RefuseImageOptionsAlone(const ArgList& a) {
    if (a.Value("--folder")) return;
    const auto& values = ImageValueOptions();
    const auto& flags = ImageFlags();
    if (std::any_of(values.begin(), values.end(), [&](const auto& o) { return a.Value(o); }) ||
        std::any_of(flags.begin(), flags.end(), [&](const auto& f) { return a.Flag(f); }))
        throw UsageError(kImageOptionAlone);
}

std::vector<std::string> AppletValueOptions() {
    std::vector<std::string> options = {"--stub", "-m", "-o", "-C", "--folder", "--title"};
    for (const auto& o : ImageValueOptions())
        options.push_back(o);
    return options;
}

std::vector<std::string> AppletFlags() {
    std::vector<std::string> flags = {"--strict"};
    for (const auto& f : ImageFlags())
        flags.push_back(f);
    return flags;
}

int RunApplet(const Args& args) {
    const ArgList a(args, AppletValueOptions(), AppletFlags());
    const auto stubPath = a.Value("--stub");
    const auto out = a.Value("-o");
    const auto method = a.Value("-m");
    if (!stubPath || !out || !method) throw UsageError("--stub, -m and -o are required");
    RefuseImageOptionsAlone(a);
    if (a.Positional().empty() && !a.Value("--folder") && !a.Value("--title"))
        throw UsageError(kNoFiles);
    const uint8_t m = ParseMethod(*method, kAppletMethods);
    auto stub = OpenInput(*stubPath);
    const int64_t bareSize = StampedBareSize(stub.get(), *stubPath);
    const payload::TSignatureTable stubSignature =
        payload::FindSignatureTable(stub.get(), bareSize);
    if (stub->Size() < bareSize) throw DataError(*stubPath + kStubTooShort);

    TCompress compress;
    const std::string base = AbsoluteFolder(a.Value("-C").value_or(""));
    compress.SetTargetPath(base);
    TStringList files = CollectFiles(base, a.Positional());
    std::optional<TemporaryFolder> made;
    MadeMember image;
    AddMadeFiles(a, compress.TargetPath(), files, made, image);
    const bool strict = a.Flag("--strict");
    const char* level = strict ? "error" : "warning";
    const bool complete = HasRunFiles(files, compress.TargetPath(), level);
    const bool onlyUsed = OnlyRunFiles(files, compress.TargetPath(), level);
    if (strict && !complete) throw DataError(kStrictRefused);
    if (strict && !onlyUsed) throw DataError(kStrictUnused);
    WrittenSizes sizes;
    ReplacingOutput output(*out);
    {
        TFileStream dest(output.WritePath(), TFileStream::Mode::Create);
        if (payload::CopyBareApplet(*stub, dest, bareSize, stubSignature) < bareSize)
            throw DataError(*stubPath + kStubTooShort);
        sizes = WriteFiles(compress, &dest, files, m, &image);
        dest.Flush();
    }
    stub.reset(); // the stub may be the output itself
    output.Commit(true);
    std::printf(kWroteApplet, out->c_str(), bareSize, sizes.stored, files.size(),
                MethodName(m).c_str());
    return kExitOk;
}

} // namespace qv::qvpack
