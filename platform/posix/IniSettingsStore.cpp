#include "platform/posix/IniSettingsStore.h"
#include "platform/posix/ProcFiles.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr const char* kSettingsFolder = "qvapplet";
constexpr const char* kSettingsFile = "settings.ini";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/tmp";
}

std::string ConfigFolder() {
    // The XDG rules ignore a relative setting.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return config;
    return HomeFolder() + "/.config";
}

void CreateFolders(const std::string& filePath) {
    for (size_t slash = filePath.find('/', 1); slash != std::string::npos;
         slash = filePath.find('/', slash + 1))
        ::mkdir(filePath.substr(0, slash).c_str(), kPrivateFolder);
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// A settings file that is a link keeps being one: the new text replaces the
// file it points to.
std::string WrittenPath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

bool ProcessIsGone(const std::string& digits) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    const long pid = std::strtol(digits.c_str(), nullptr, 10);
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// A run killed between writing and renaming leaves its temporary file; the
// next write removes those whose process has ended.
void RemoveStaleTemporaries(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash);
    const std::string prefix = path.substr(slash + 1) + kTemporarySuffix;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0 &&
            ProcessIsGone(name.substr(prefix.size())))
            ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

} // namespace

IniSettingsStore::IniSettingsStore(std::string filePath) : filePath_(std::move(filePath)) {}

std::string IniSettingsStore::Read(const std::string& keyPath, const std::string& name,
                                   const std::string& fallback) const {
    const IniDocument document = Load();
    const IniEntry* entry = FindEntry(document, keyPath, name);
    return entry != nullptr ? entry->value : fallback;
}

bool IniSettingsStore::Write(const std::string& keyPath, const std::string& name,
                             const std::string& value) {
    IniDocument document = Load();
    SetEntry(document, keyPath, name, value);
    return Save(document);
}

// An unreadable file counts as empty; a damaged line is dropped by the next
// write, which keeps every other value.
IniDocument IniSettingsStore::Load() const {
    return ParseIni(ReadWholeFile(filePath_));
}

bool IniSettingsStore::Save(const IniDocument& document) const {
    CreateFolders(filePath_);
    const std::string target = WrittenPath(filePath_);
    RemoveStaleTemporaries(filePath_);
    if (target != filePath_) RemoveStaleTemporaries(target);
    const std::string temporary = target + kTemporarySuffix + std::to_string(::getpid());
    ::unlink(temporary.c_str()); // ours from an earlier write, or a link put there
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, FormatIni(document)) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

std::string DefaultSettingsFilePath() {
    return ConfigFolder() + "/" + kSettingsFolder + "/" + kSettingsFile;
}

std::unique_ptr<SettingsStore> OpenUserSettings() {
    return std::make_unique<IniSettingsStore>(DefaultSettingsFilePath());
}

} // namespace qv::platform
