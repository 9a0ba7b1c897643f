#pragma once
// Where a system drive answers to the applet's scan: its host adapter,
// target and logical unit are the drive's SCSI host, target and lun (the
// channel, which the scan has no word for, is not part of the address).

#include <cstdint>
#include <optional>
#include <vector>

namespace qv::engine {

struct ScsiAddress {
    int host = 0;
    int channel = 0;
    int target = 0;
    int lun = 0;
};

// The index of the drive the applet's address names, in scan order (the
// first one wins when two share it); drives without an address answer
// nowhere. The applet tries host adapters and targets 0 to 7 only: a drive
// beyond them (USB drives often sit at a higher host) answers, with logical
// unit 0, at the first of those addresses no drive within them holds.
std::optional<size_t> DriveAtAddress(const std::vector<std::optional<ScsiAddress>>& drives,
                                     uint8_t hostAdapter, uint8_t target, uint8_t lun);

} // namespace qv::engine
