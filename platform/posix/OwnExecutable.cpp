#include "platform/OwnExecutable.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

namespace qv::platform {

namespace {
constexpr uint32_t kFirstRegisteredMessage = 0xC000;
} // namespace

std::string OwnExecutablePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

uint32_t RegisterNamedMessage(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, uint32_t> numbers;
    std::lock_guard guard(lock);
    const uint32_t next = kFirstRegisteredMessage + static_cast<uint32_t>(numbers.size());
    return numbers.emplace(name, next).first->second;
}

} // namespace qv::platform
