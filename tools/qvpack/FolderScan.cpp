#include "FolderScan.h"

#include "ArchiveSupport.h"
#include "JolietNames.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

namespace qv::qvpack {

namespace {
namespace fs = std::filesystem;

constexpr const char* kProblemLine = "\n  %s: %s";
constexpr const char* kProblemsHead = "the folder cannot become a disc image as it is:";
constexpr const char* kSpecialFile =
    "a special file (device, pipe or socket), which a data disc does not carry";
constexpr const char* kUnreadableFile = "cannot be read";
constexpr const char* kUnreadableFolder = "the folder cannot be listed";
constexpr const char* kTooLarge =
    "4 GiB or larger: ISO levels 1 and 2 cannot hold it (--iso-level 3)";
constexpr const char* kCollides = "has the same Joliet name (what Windows shows) as %s";
constexpr const char* kPathTooLong = "the path is longer than the 240 characters Joliet allows";
constexpr const char* kNotAFolder = "not a folder";
// The first size ISO 9660 levels 1 and 2 cannot record in one extent.
constexpr uintmax_t kFourGiB = uintmax_t{1} << 32;

int64_t UnixTime(const fs::file_time_type& t) {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::file_clock::to_sys(t).time_since_epoch())
        .count();
}

class Scanner {
public:
    explicit Scanner(const ScanLimits& limits) : limits_(limits) {}

    void Walk(size_t folderIndex) {
        std::vector<fs::path> children;
        std::error_code error;
        fs::directory_iterator it(entries_[folderIndex].source, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error))
            children.push_back(it->path());
        if (error) return Problem(entries_[folderIndex].path, kUnreadableFolder);
        std::sort(children.begin(), children.end(), [](const fs::path& a, const fs::path& b) {
            return a.filename().string() < b.filename().string();
        });
        std::map<std::u16string, std::string> joliet;
        for (const auto& child : children) {
            const size_t index = Add(folderIndex, child);
            if (index == 0) continue;
            const FolderEntry& added = entries_[index];
            const auto [seen, fresh] = joliet.emplace(JolietKey(added.name), added.path);
            if (!fresh) Problem(added.path, Format(kCollides, seen->second));
            if (added.kind == FolderEntry::Kind::Folder) Walk(index);
        }
    }

    std::vector<FolderEntry> entries_;
    std::string problems_;

private:
    // The entry's index, or 0 when it cannot go on the disc.
    size_t Add(size_t parent, const fs::path& source) {
        FolderEntry e;
        e.parent = parent;
        e.name = source.filename().string();
        e.path = parent == 0 ? e.name : entries_[parent].path + "/" + e.name;
        e.source = source.string();
        std::error_code error;
        const fs::file_status status = fs::symlink_status(source, error);
        const std::string fault = JolietNameFault(e.name);
        if (!fault.empty()) Problem(e.path, fault);
        if (JolietPathLength(e.path) > kJolietPathLimit) Problem(e.path, kPathTooLong);
        e.mode = static_cast<uint32_t>(status.permissions() & fs::perms::mask);
        if (fs::is_symlink(status)) {
            e.kind = FolderEntry::Kind::Link;
            e.linkTarget = fs::read_symlink(source, error).string();
            if (error) return Problem(e.path, kUnreadableFile), 0;
        } else if (fs::is_directory(status)) {
            e.kind = FolderEntry::Kind::Folder;
            e.mtime = UnixTime(fs::last_write_time(source, error));
        } else if (fs::is_regular_file(status)) {
            e.kind = FolderEntry::Kind::File;
            e.size = static_cast<int64_t>(fs::file_size(source, error));
            e.mtime = UnixTime(fs::last_write_time(source, error));
            if (!Readable(e.source)) return Problem(e.path, kUnreadableFile), 0;
            if (!limits_.largeFiles && static_cast<uintmax_t>(e.size) >= kFourGiB)
                Problem(e.path, kTooLarge);
        } else {
            return Problem(e.path, kSpecialFile), 0;
        }
        if (error) return Problem(e.path, error.message()), 0;
        entries_.push_back(std::move(e));
        return entries_.size() - 1;
    }

    static bool Readable(const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return false;
        std::fclose(f);
        return true;
    }

    static std::string Format(const char* format, const std::string& value) {
        char text[1024];
        std::snprintf(text, sizeof text, format, value.c_str());
        return text;
    }

    void Problem(const std::string& path, const std::string& what) {
        char line[2048];
        std::snprintf(line, sizeof line, kProblemLine, path.c_str(), what.c_str());
        problems_ += line;
    }

    ScanLimits limits_;
};
} // namespace

std::vector<FolderEntry> ScanFolder(const std::string& folder, const ScanLimits& limits) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) throw DataError(folder + ": " + kNotAFolder);
    Scanner scanner(limits);
    FolderEntry root;
    root.kind = FolderEntry::Kind::Folder;
    root.source = fs::absolute(folder).lexically_normal().string(); // the library wants it
    root.mode = static_cast<uint32_t>(fs::status(folder, error).permissions() & fs::perms::mask);
    root.mtime = UnixTime(fs::last_write_time(folder, error));
    scanner.entries_.push_back(root);
    scanner.Walk(0);
    if (!scanner.problems_.empty()) throw DataError(kProblemsHead + scanner.problems_);
    return std::move(scanner.entries_);
}

} // namespace qv::qvpack
