#pragma once
// Reads a written track back and compares it with the job's files: a burn
// is reported good only when the disc holds what was meant to be written.

#include "Recorder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qv::engine {

// Reads size bytes at this byte offset of the written track; false on a read
// error.
using DiscReader = std::function<bool(uint64_t offset, char* data, size_t size)>;

// CDRW_SUCCESS when every byte matches; CDRW_BAD_RESPONSE on a difference or
// a read error (the message goes to the error output); CDRW_TERMINATED, with
// no message, as soon as stop is set.
int32_t VerifyWrittenTrack(const std::vector<Track>& tracks, const DiscReader& readDisc,
                           const std::atomic<bool>* stop = nullptr);

} // namespace qv::engine
