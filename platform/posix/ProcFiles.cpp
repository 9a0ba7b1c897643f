#include "platform/posix/ProcFiles.h"

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace qv::platform {

namespace {

constexpr unsigned long kRouteUp = 0x0001;
constexpr unsigned long kRouteReject = 0x0200;
constexpr uint64_t kBytesPerKiB = 1024;

bool ParseHex(const std::string& text, unsigned long& value) {
    try {
        size_t used = 0;
        value = std::stoul(text, &used, 16);
        return used == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool HasIpv4DefaultRoute(const std::string& procNetRoute) {
    std::istringstream lines(procNetRoute);
    std::string line;
    std::getline(lines, line); // column titles
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, destination, gateway, flags, refCount, use, metric, mask;
        if (!(fields >> device >> destination >> gateway >> flags >> refCount >> use >> metric >>
              mask))
            continue;
        unsigned long flagBits = 0;
        if (destination == "00000000" && mask == "00000000" && ParseHex(flags, flagBits) &&
            (flagBits & kRouteUp) != 0)
            return true;
    }
    return false;
}

bool HasIpv6DefaultRoute(const std::string& procNetIpv6Route) {
    std::istringstream lines(procNetIpv6Route);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, refCount, use,
            flags, device;
        if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >>
              refCount >> use >> flags >> device))
            continue;
        unsigned long flagBits = 0;
        if (destination == std::string(32, '0') && prefix == "00" && device != "lo" &&
            ParseHex(flags, flagBits) && (flagBits & kRouteUp) != 0 &&
            (flagBits & kRouteReject) == 0)
            return true;
    }
    return false;
}

MemoryStatus ParseMemInfo(const std::string& procMeminfo) {
    std::map<std::string, uint64_t> kib;
    std::istringstream lines(procMeminfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name;
        uint64_t value = 0;
        if (fields >> name >> value && !name.empty() && name.back() == ':') {
            name.pop_back();
            kib[name] = value;
        }
    }
    const auto bytes = [&kib](const char* name) {
        const auto found = kib.find(name);
        return found == kib.end() ? 0 : found->second * kBytesPerKiB;
    };
    MemoryStatus status;
    status.totalPhysical = bytes("MemTotal");
    status.availablePhysical = kib.count("MemAvailable") ? bytes("MemAvailable") : bytes("MemFree");
    status.totalPageFile = bytes("SwapTotal");
    status.availablePageFile = bytes("SwapFree");
    return status;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace qv::platform
