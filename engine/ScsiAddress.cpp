#include "ScsiAddress.h"

namespace qv::engine {

namespace {

// The applet's scan: host adapters 0 to 7, each with targets 0 to 7.
constexpr int kScannedIds = 8;

bool Scanned(const ScsiAddress& address) {
    return address.host >= 0 && address.host < kScannedIds && address.target >= 0 &&
           address.target < kScannedIds;
}

bool Held(const std::vector<std::optional<ScsiAddress>>& drives, int host, int target) {
    for (const std::optional<ScsiAddress>& address : drives)
        if (address && Scanned(*address) && address->host == host && address->target == target)
            return true;
    return false;
}

// The drive beyond the scan that answers at this free address, if any.
std::optional<size_t> DriveBeyondScan(const std::vector<std::optional<ScsiAddress>>& drives,
                                      uint8_t hostAdapter, uint8_t target) {
    size_t next = 0; // the next drive beyond the scan to place
    for (int host = 0; host < kScannedIds; ++host)
        for (int id = 0; id < kScannedIds; ++id) {
            if (Held(drives, host, id)) continue;
            while (next < drives.size() && !(drives[next] && !Scanned(*drives[next])))
                ++next;
            if (next == drives.size()) return std::nullopt;
            if (host == hostAdapter && id == target) return next;
            ++next;
        }
    return std::nullopt;
}

} // namespace

std::optional<size_t> DriveAtAddress(const std::vector<std::optional<ScsiAddress>>& drives,
                                     uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    for (size_t index = 0; index < drives.size(); ++index) {
        const std::optional<ScsiAddress>& address = drives[index];
        if (address && address->host == hostAdapter && address->target == target &&
            address->lun == lun)
            return index;
    }
    if (lun != 0 || Held(drives, hostAdapter, target)) return std::nullopt;
    return DriveBeyondScan(drives, hostAdapter, target);
}

} // namespace qv::engine
