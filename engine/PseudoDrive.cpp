#include "PseudoDrive.h"

#include "RecorderConfig.h"

#include <unistd.h>

#include <filesystem>

namespace qv::engine {

namespace {

constexpr const char* kIsFolder = "it is a folder";
constexpr const char* kNotWritable = "the user may not read and write it";
constexpr const char* kFolderNotWritable = "the user may not make files in its folder";

namespace fs = std::filesystem;

bool Accessible(const fs::path& path, int mode) {
    return access(path.c_str(), mode) == 0;
}

} // namespace

std::string PseudoDrivePath(const std::string& device) {
    return device.substr(std::string(kStdioPrefix).size());
}

std::string PseudoDriveFault(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) return kIsFolder;
    if (fs::exists(status)) return Accessible(path, R_OK | W_OK) ? "" : kNotWritable;
    // libburn makes the file at the first write; a missing folder it
    // refuses itself, with its own message.
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(folder, error)) return "";
    return Accessible(folder, W_OK | X_OK) ? "" : kFolderNotWritable;
}

bool EmptyRegularFile(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return true;
    return fs::is_regular_file(status) && fs::file_size(path, error) == 0 && !error;
}

} // namespace qv::engine
