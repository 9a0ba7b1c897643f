#include "RecorderConfig.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string_view>

namespace qv::engine {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMessagePrefix = "CdRwLib: ";
constexpr const char* kUnknownKey = "unknown key ignored: ";
constexpr const char* kNotKeyValue = "line ignored, expected key = value";
constexpr const char* kBadValue = "bad value for ";
constexpr const char* kDeviceExpected = "a device path such as /dev/sr0, or stdio:PATH";
constexpr const char* kDefaultKept = "; the default is kept";
constexpr const char* kMissingDiscFolder = "the disc folder does not exist: ";
constexpr const char* kDefaultDiscUsed = "; the default disc is used";
constexpr const char* kCannotCreateFolder = "cannot create the disc folder ";
constexpr const char* kDiscFolderName = "CdRwLib";
constexpr const char* kDiscFileName = "disc.img";

constexpr int32_t kHighestStatus = 23;

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool ParseInteger(std::string_view text, int64_t low, int64_t high, int64_t& out) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

template <typename T> bool SetInteger(std::string_view text, int64_t low, int64_t high, T& field) {
    int64_t value = 0;
    if (!ParseInteger(text, low, high, value)) return false;
    field = static_cast<T>(value);
    return true;
}

bool SetFlag(std::string_view text, bool& field) {
    int64_t value = 0;
    if (!ParseInteger(text, 0, 1, value)) return false;
    field = value != 0;
    return true;
}

bool SetStatus(std::string_view text, int32_t& field) {
    return SetInteger(text, 0, kHighestStatus, field);
}

bool SetSpeedList(std::string_view text, std::vector<uint16_t>& field) {
    std::vector<uint16_t> speeds;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        uint16_t speed = 0;
        if (!SetInteger(Trim(text.substr(0, comma)), 1, 65535, speed)) return false;
        speeds.push_back(speed);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    if (speeds.empty()) return false;
    std::sort(speeds.begin(), speeds.end());
    field = std::move(speeds);
    return true;
}

bool SetScale(std::string_view text, double& field) {
    // from_chars for double is missing on some toolchains; istringstream is
    // locale-bound but the classic locale is the default in the library.
    std::istringstream in{std::string(text)};
    double value = 0;
    in >> value;
    if (!in || !in.eof() || value < 0 || value > 1000) return false;
    field = value;
    return true;
}

bool SetBackEnd(std::string_view text, BackEndKind& field) {
    const std::string name = Lower(text);
    if (name == "virtual")
        field = BackEndKind::Virtual;
    else if (name == "libburn")
        field = BackEndKind::Libburn;
    else if (name == "imapi2")
        field = BackEndKind::Imapi2;
    else
        return false;
    return true;
}

bool SetText(std::string_view text, std::string& field) {
    // Vendor and product strings of a drive are short; the applet's buffers
    // hold 1,024 bytes.
    if (text.empty() || text.size() > 255) return false;
    field = std::string(text);
    return true;
}

struct KeyRule {
    const char* key;
    const char* expected; // for the message on a bad value
    bool (*apply)(std::string_view value, RecorderConfig& config);
};

const KeyRule kRules[] = {
    {"backend", "virtual, libburn or imapi2",
     [](auto v, auto& c) { return SetBackEnd(v, c.backEnd); }},
    {"verify", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.verify); }},
    {"changed_byte", "-1 to 1000000000",
     [](auto v, auto& c) { return SetInteger(v, -1, 1000000000, c.changedByte); }},
    {"drive", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.drivePresent); }},
    {"adapter", "0 to 7", [](auto v, auto& c) { return SetInteger(v, 0, 7, c.hostAdapter); }},
    {"target", "0 to 7", [](auto v, auto& c) { return SetInteger(v, 0, 7, c.target); }},
    {"vendor", "1 to 255 characters", [](auto v, auto& c) { return SetText(v, c.vendor); }},
    {"product", "1 to 255 characters", [](auto v, auto& c) { return SetText(v, c.product); }},
    {"inserted", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.discInserted); }},
    {"rewritable", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.rewritable); }},
    {"capacity", "1 to 1000000 sectors",
     [](auto v, auto& c) { return SetInteger(v, 1, 1000000, c.capacitySectors); }},
    {"tao", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.writeModes.trackAtOnce); }},
    {"sao", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.writeModes.sessionAtOnce); }},
    {"dao", "0 or 1", [](auto v, auto& c) { return SetFlag(v, c.writeModes.discAtOnce); }},
    {"underrun_protection", "0 or 1",
     [](auto v, auto& c) { return SetFlag(v, c.underrunProtection); }},
    {"read_speed", "1 to 65535",
     [](auto v, auto& c) { return SetInteger(v, 1, 65535, c.readSpeed); }},
    {"write_speeds", "a comma-separated list of 1 to 65535",
     [](auto v, auto& c) { return SetSpeedList(v, c.writeSpeeds); }},
    {"time_scale", "0 to 1000", [](auto v, auto& c) { return SetScale(v, c.timeScale); }},
    {"not_ready_calls", "0 to 1000000",
     [](auto v, auto& c) { return SetInteger(v, 0, 1000000, c.notReadyCalls); }},
    {"erase_busy_calls", "0 to 1000000",
     [](auto v, auto& c) { return SetInteger(v, 0, 1000000, c.eraseBusyCalls); }},
    {"erase_status", "0 to 23", [](auto v, auto& c) { return SetStatus(v, c.eraseStatus); }},
    {"get_speeds_status", "0 to 23",
     [](auto v, auto& c) { return SetStatus(v, c.getSpeedsStatus); }},
    {"set_speeds_status", "0 to 23",
     [](auto v, auto& c) { return SetStatus(v, c.setSpeedsStatus); }},
    {"vendor_status", "0 to 23", [](auto v, auto& c) { return SetStatus(v, c.vendorStatus); }},
    {"write_modes_status", "0 to 23",
     [](auto v, auto& c) { return SetStatus(v, c.writeModesStatus); }},
    {"write_fail_sector", "-1 to 1000000",
     [](auto v, auto& c) { return SetInteger(v, -1, 1000000, c.writeFailSector); }},
    {"write_fail_status", "0 to 23",
     [](auto v, auto& c) { return SetStatus(v, c.writeFailStatus); }},
};

class Reporter {
public:
    Reporter(std::ostream& out, const std::string& source) : out_(out), source_(source) {}
    void atLine(int line, const std::string& message) {
        out_ << kMessagePrefix << source_ << " line " << line << ": " << message << '\n';
    }

private:
    std::ostream& out_;
    const std::string& source_;
};

// A device of the configuration: a device file ("/dev/sr0") or a pseudo-drive
// "stdio:PATH" whose relative path is taken from baseFolder; empty when it is
// neither.
std::string ResolveDevice(std::string_view value, const std::string& baseFolder) {
    const std::string_view prefix = kStdioPrefix;
    if (value.substr(0, prefix.size()) == prefix) {
        const fs::path path{std::string(value.substr(prefix.size()))};
        if (path.empty()) return {};
        if (!path.has_root_directory() && !baseFolder.empty())
            return std::string(prefix) + (fs::path(baseFolder) / path).string();
        return std::string(value);
    }
    return fs::path{std::string(value)}.has_root_directory() ? std::string(value) : std::string();
}

// A disc path of the configuration, or empty when its folder is missing.
std::string ResolveDiscPath(std::string_view value, const std::string& baseFolder) {
    fs::path path{std::string(value)};
    if (path.is_relative() && !baseFolder.empty()) path = fs::path(baseFolder) / path;
    std::error_code error;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(folder, error)) return {};
    return path.string();
}

void ApplyLine(std::string_view line, int lineNumber, const std::string& baseFolder,
               RecorderConfig& config, Reporter& report) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        report.atLine(lineNumber, kNotKeyValue);
        return;
    }
    const std::string key = Lower(Trim(line.substr(0, equals)));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key == "disc") {
        const std::string path = ResolveDiscPath(value, baseFolder);
        if (path.empty())
            report.atLine(lineNumber, kMissingDiscFolder + std::string(value) + kDefaultDiscUsed);
        else
            config.discPath = path;
        return;
    }
    if (key == "device") {
        const std::string device = ResolveDevice(value, baseFolder);
        if (device.empty())
            report.atLine(lineNumber, kBadValue + key + " (" + kDeviceExpected + "): \"" +
                                          std::string(value) + "\"" + kDefaultKept);
        else
            config.device = device;
        return;
    }
    for (const KeyRule& rule : kRules) {
        if (key != rule.key) continue;
        if (!rule.apply(value, config))
            report.atLine(lineNumber, kBadValue + key + " (" + rule.expected + "): \"" +
                                          std::string(value) + "\"" + kDefaultKept);
        return;
    }
    report.atLine(lineNumber, kUnknownKey + key);
}

fs::path UserDataFolder() {
#ifdef _WIN32
    for (const char* name : {"LOCALAPPDATA", "APPDATA"}) {
        const std::string value = EnvironmentValue(name);
        if (!value.empty()) return value;
    }
#else
    const std::string xdg = EnvironmentValue("XDG_DATA_HOME");
    if (!xdg.empty()) return xdg;
    const std::string home = EnvironmentValue("HOME");
    if (!home.empty()) return fs::path(home) / ".local" / "share";
#endif
    return fs::current_path();
}

} // namespace

uint16_t RecorderConfig::highestWriteSpeed() const {
    return writeSpeeds.empty() ? 0 : writeSpeeds.back();
}

uint16_t RecorderConfig::offeredWriteSpeed(uint16_t requested) const {
    uint16_t chosen = writeSpeeds.front();
    for (uint16_t offered : writeSpeeds)
        if (offered <= requested) chosen = offered;
    return chosen;
}

uint16_t RecorderConfig::offeredReadSpeed(uint16_t requested) const {
    return requested == 0 || requested > readSpeed ? readSpeed : requested;
}

RecorderConfig ParseConfig(const std::string& text, const std::string& source,
                           const std::string& baseFolder, std::ostream& errors) {
    RecorderConfig config;
    Reporter report(errors, source);
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        const std::string_view content = Trim(line);
        if (content.empty() || content.front() == '#' || content.front() == ';') continue;
        ApplyLine(content, lineNumber, baseFolder, config, report);
    }
    // Only the virtual recorder has a disc file; a real drive's configuration
    // must not create the user's data folder.
    if (config.discPath.empty() && config.backEnd == BackEndKind::Virtual)
        config.discPath = DefaultDiscPath(errors);
    return config;
}

std::string DefaultDiscPath(std::ostream& errors) {
    const fs::path folder = UserDataFolder() / kDiscFolderName;
    std::error_code error;
    if (!fs::is_directory(folder, error) && !fs::create_directories(folder, error))
        errors << kMessagePrefix << kCannotCreateFolder << folder.string() << '\n';
    return (folder / kDiscFileName).string();
}

} // namespace qv::engine
