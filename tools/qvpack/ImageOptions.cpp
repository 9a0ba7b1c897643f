// --volume-id, --date, --iso-level, --allow-oversize and SOURCE_DATE_EPOCH.
#include "ArchiveSupport.h"
#include "ImageFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qv::qvpack {

namespace {
constexpr const char* kVolumeIdOption = "--volume-id";
constexpr const char* kDateOption = "--date";
constexpr const char* kLevelOption = "--iso-level";
constexpr const char* kOversizeFlag = "--allow-oversize";
constexpr const char* kDateVariable = "SOURCE_DATE_EPOCH";
// ISO 9660 volume identifiers: up to 32 d-characters.
constexpr size_t kVolumeIdLength = 32;
constexpr const char* kFallbackVolumeId = "CDROM";
constexpr const char* kBadVolumeId =
    "--volume-id takes 1 to 32 of the characters A-Z, 0-9 and _ (ISO 9660 d-characters)";
constexpr const char* kBadDate =
    "takes seconds since 1970 or a UTC date YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS";
constexpr const char* kBadLevel = "--iso-level takes 1, 2 or 3";

bool IsDCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string VolumeIdOf(const std::string& folder) {
    namespace fs = std::filesystem;
    fs::path path = fs::absolute(folder).lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    std::string id;
    for (char c : path.filename().string()) {
        if (id.size() == kVolumeIdLength) break;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        id.push_back(IsDCharacter(c) ? c : '_');
    }
    return id.empty() ? kFallbackVolumeId : id;
}

std::optional<int64_t> ParseDate(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
        return std::strtoll(text.c_str(), nullptr, 10);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    const int n =
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
    if (n != 3 && n != 6) return std::nullopt;
    using namespace std::chrono;
    const year_month_day day{year{y}, month{static_cast<unsigned>(mo)},
                             std::chrono::day{static_cast<unsigned>(d)}};
    if (!day.ok() || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return std::nullopt;
    return sys_days{day}.time_since_epoch() / seconds{1} + h * 3600 + mi * 60 + s;
}
} // namespace

const std::vector<std::string>& ImageValueOptions() {
    static const std::vector<std::string> options = {kVolumeIdOption, kDateOption, kLevelOption};
    return options;
}

const std::vector<std::string>& ImageFlags() {
    static const std::vector<std::string> flags = {kOversizeFlag};
    return flags;
}

ImageOptions ImageOptionsFrom(const ArgList& args, const std::string& folder) {
    ImageOptions options;
    options.volumeId = args.Value(kVolumeIdOption).value_or(VolumeIdOf(folder));
    if (options.volumeId.empty() || options.volumeId.size() > kVolumeIdLength ||
        options.volumeId.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") !=
            std::string::npos)
        throw UsageError(kBadVolumeId);
    // The command line wins over the environment.
    if (const auto date = args.Value(kDateOption)) {
        options.date = ParseDate(*date);
        if (!options.date) throw UsageError(std::string(kDateOption) + " " + kBadDate);
    } else if (const char* epoch = std::getenv(kDateVariable); epoch && *epoch) {
        options.date = ParseDate(epoch);
        if (!options.date) throw DataError(std::string(kDateVariable) + " " + kBadDate);
    }
    if (const auto level = args.Value(kLevelOption)) {
        if (*level != "1" && *level != "2" && *level != "3") throw UsageError(kBadLevel);
        options.isoLevel = (*level)[0] - '0';
    }
    options.allowOversize = args.Flag(kOversizeFlag);
    return options;
}

} // namespace qv::qvpack
