#pragma once
// Turns the job record a caller hands in into checked tracks. The record
// comes from another program, so nothing in it is trusted: counts, texts
// without their NUL and files that are gone are refused with a status.

#include "CdRwLib.h"
#include "Recorder.h"

#include <vector>

namespace qv::engine {

// CDRW_SUCCESS with the tracks filled, or the status that refuses the job.
int32_t ReadBurnJob(const BurnJob& job, std::vector<Track>& tracks);

} // namespace qv::engine
