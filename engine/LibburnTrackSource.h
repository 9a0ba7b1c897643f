#pragma once
// The job's files handed to libburn as the source of one data track.

#include "Recorder.h"
#include "TrackStream.h"

#include <atomic>
#include <cstdint>

// libburn declares its C interface inside this namespace.
namespace burn {
struct burn_source;
}

namespace qv::engine {

using burn::burn_source;

// A new libburn source (reference count 1, freed by burn_source_free). It
// ends with a read error once stop is set, so a cancel ends the write at the
// next sector.
burn_source* NewTrackSource(const std::vector<Track>& tracks, const std::atomic<bool>& stop);

} // namespace qv::engine
