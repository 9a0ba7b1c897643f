#include "RecorderConfig.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace qv::engine {

namespace {

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

std::string ConfigFile::identity() const {
    return path + (readable ? "\n+\n" : "\n-\n") + text;
}

ConfigFile ReadConfigFile() {
    ConfigFile file;
    file.path = EnvironmentValue(kConfigVariable);
    if (file.named()) file.readable = ReadWholeFile(file.path, file.text);
    return file;
}

RecorderConfig ParseConfigFile(const ConfigFile& file, std::ostream& errors) {
    const std::string folder = std::filesystem::path(file.path).parent_path().string();
    return ParseConfig(file.text, file.path, folder, errors);
}

} // namespace qv::engine
