#include "TemporaryFolder.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace qv::qvpack {

namespace {
constexpr const char* kPrefix = "qvpack-";
constexpr const char* kCannotCreate = "cannot create a temporary folder: ";
constexpr int kAttempts = 16;
} // namespace

TemporaryFolder::TemporaryFolder() {
    namespace fs = std::filesystem;
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int i = 0; i < kAttempts; ++i) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%08x%08x", random(), random());
        const fs::path candidate = base / (kPrefix + std::string(suffix));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error(kCannotCreate + base.string());
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string TemporaryFolder::PathOf(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
}

} // namespace qv::qvpack
