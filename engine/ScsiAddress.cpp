#include "ScsiAddress.h"

namespace qv::engine {

std::optional<size_t> DriveAtAddress(const std::vector<std::optional<ScsiAddress>>& drives,
                                     uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    for (size_t index = 0; index < drives.size(); ++index) {
        const std::optional<ScsiAddress>& address = drives[index];
        if (address && address->host == hostAdapter && address->target == target &&
            address->lun == lun)
            return index;
    }
    return std::nullopt;
}

} // namespace qv::engine
