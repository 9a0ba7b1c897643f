#include "ArchiveSupport.h"

#include "payload/PayloadOffset.h"
#include "payload/archive/ArchiveFormat.h"
#include "payload/archive/ArchivePaths.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qv::qvpack {

namespace fs = std::filesystem;

namespace {
constexpr const char* kNoSlot = " is neither an archive nor a stamped applet (give --offset N)";
constexpr const char* kSeveralSlots = " holds several payload slots (give --offset N)";
constexpr const char* kNotStamped = " is an applet whose payload offset was never stamped";
constexpr const char* kNotFound = "no such file or folder: ";
constexpr const char* kBadOffset = "bad offset: '";

bool StartsWithSignature(payload::TStream* file) {
    uint8_t head[payload::archive::kSignature.size()] = {};
    file->Seek(0, payload::SeekOrigin::Begin);
    const auto n = static_cast<size_t>(file->Read(head, static_cast<int32_t>(sizeof head)));
    return n == sizeof head && payload::archive::HasSignature(head);
}

int64_t ParseOffset(const std::string& text) {
    try {
        size_t used = 0;
        const long long v = std::stoll(text, &used, 0);
        if (used == text.size() && v >= 0) return v;
    } catch (const std::logic_error&) {
    }
    throw UsageError(kBadOffset + text + "'");
}

void AddFolderFiles(const fs::path& folder, payload::TStringList& files) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) found.push_back(entry.path().lexically_normal().string());
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}
} // namespace

int64_t StampedBareSize(payload::TStream* file, const std::string& path) {
    const payload::TPayloadSlotResult slot = payload::FindPayloadSlot(file);
    if (slot.Search == payload::TPayloadSlotSearch::NoMarker) throw DataError(path + kNoSlot);
    if (slot.Search == payload::TPayloadSlotSearch::SeveralMarkers)
        throw DataError(path + kSeveralSlots);
    if (slot.Value <= 0) throw DataError(path + kNotStamped);
    return slot.Value;
}

int64_t LocateArchive(payload::TStream* file, const std::string& path,
                      const std::optional<std::string>& offsetOption) {
    if (offsetOption) return ParseOffset(*offsetOption);
    if (StartsWithSignature(file)) return 0;
    return StampedBareSize(file, path);
}

std::string AbsoluteFolder(const std::string& folder) {
    return fs::absolute(folder.empty() ? fs::path(".") : fs::path(folder))
        .lexically_normal()
        .string();
}

std::string StoredName(const std::string& file, const std::string& baseFolder) {
    const std::string stored =
        payload::paths::WithoutDrivePrefix(payload::paths::StoredNameOf(file, baseFolder));
    if (!payload::paths::IsRooted(stored)) return stored;
    return stored.substr(stored.find_last_of(payload::paths::kArchiveSeparator) + 1);
}

payload::TStringList CollectFiles(const std::string& baseFolder,
                                  const std::vector<std::string>& names) {
    payload::TStringList files;
    for (const auto& name : names) {
        const fs::path path = (fs::path(baseFolder) / name).lexically_normal();
        std::error_code error;
        if (fs::is_directory(path, error))
            AddFolderFiles(path, files);
        else if (fs::is_regular_file(path, error))
            files.push_back(path.string());
        else
            throw DataError(kNotFound + name);
    }
    return files;
}

std::string FormatDosDate(uint32_t dosDateTime) {
    const platform::LocalTime t = platform::LocalFromDosDateTime(dosDateTime);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string FormatAttributes(uint16_t attributes) {
    std::string text = "-----";
    if (attributes & platform::kAttrReadOnly) text[0] = 'R';
    if (attributes & platform::kAttrHidden) text[1] = 'H';
    if (attributes & platform::kAttrSystem) text[2] = 'S';
    if (attributes & platform::kAttrDirectory) text[3] = 'D';
    if (attributes & platform::kAttrArchive) text[4] = 'A';
    return text;
}

double RatioPercent(int64_t original, int64_t stored) {
    if (original <= 0) return 100.0;
    return 100.0 * static_cast<double>(stored) / static_cast<double>(original);
}

} // namespace qv::qvpack
