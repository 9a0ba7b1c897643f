#pragma once
// The job's files as the one data track they become on the disc: each file
// in turn, padded with zeros to whole 2048-byte sectors.

#include "Recorder.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <vector>

namespace qv::engine {

uint64_t TrackBytes(const std::vector<Track>& tracks);

class TrackStream {
public:
    explicit TrackStream(const std::vector<Track>& tracks) : tracks_(tracks) {}

    // Fills up to size bytes; fewer only at the end of the track. False when
    // a file can no longer be read as the job described it.
    bool read(char* data, size_t size, size_t& filled);

private:
    bool openNext();

    const std::vector<Track>& tracks_;
    size_t next_ = 0; // index of the next file to open
    std::istream* file_ = nullptr;
    uint64_t fileLeft_ = 0; // bytes of the open file not yet read
    uint64_t paddingLeft_ = 0;
};

} // namespace qv::engine
