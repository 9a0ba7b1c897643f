#pragma once
// The job's files handed to libburn as the source of one data track. On a
// pseudo-drive, which a file makes as fast as the disk allows, the source
// paces the write at the speed set, as a real drive would.

#include "Recorder.h"
#include "TrackStream.h"
#include "WritePace.h"

#include <atomic>
#include <cstdint>
#include <optional>

// libburn declares its C interface inside this namespace.
namespace burn {
struct burn_source;
}

namespace qv::engine {

using burn::burn_source;

struct TrackPace {
    double timeScale = 0;
    uint16_t speed = 0;
};

// A new libburn source (reference count 1, freed by burn_source_free). It
// ends with a read error once stop is set, so a cancel does not wait for the
// pace.
burn_source* NewTrackSource(const std::vector<Track>& tracks, std::optional<TrackPace> pace,
                            const std::atomic<bool>& stop);

} // namespace qv::engine
