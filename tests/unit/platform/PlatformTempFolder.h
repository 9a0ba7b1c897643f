#pragma once
// A fresh folder for tests that touch the real file system, removed with
// everything in it when the test ends.

#include "platform/Files.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace qv::test {

class PlatformTempFolder {
public:
    PlatformTempFolder() {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("qv-platform-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~PlatformTempFolder() {
        std::error_code ignored;
        // Read-only files would stop the removal on Windows.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    PlatformTempFolder(const PlatformTempFolder&) = delete;
    PlatformTempFolder& operator=(const PlatformTempFolder&) = delete;

    std::string Path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    std::string Write(const std::string& name, const std::string& contents) const {
        const std::string path = File(name);
        std::ofstream(platform::NativePath(path), std::ios::binary) << contents;
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(platform::NativePath(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};

} // namespace qv::test
