#include "LibburnTrackSource.h"

#include <libburn/libburn.h>

#include <cstdlib>

namespace qv::engine {

using namespace burn;

namespace {

struct SourceState {
    SourceState(const std::vector<Track>& tracks, const std::atomic<bool>& stopFlag)
        : stream(tracks), size(static_cast<off_t>(TrackBytes(tracks))), stop(stopFlag) {}
    TrackStream stream;
    off_t size;
    const std::atomic<bool>& stop;
};

SourceState& StateOf(burn_source* source) {
    return *static_cast<SourceState*>(source->data);
}

int ReadTrack(burn_source* source, unsigned char* buffer, int size) {
    SourceState& state = StateOf(source);
    if (size <= 0) return 0;
    if (state.stop) return -1;
    size_t filled = 0;
    if (!state.stream.read(reinterpret_cast<char*>(buffer), static_cast<size_t>(size), filled))
        return -1;
    return static_cast<int>(filled);
}

off_t TrackSize(burn_source* source) {
    return StateOf(source).size;
}

int SetTrackSize(burn_source* source, off_t size) {
    StateOf(source).size = size;
    return 1;
}

void FreeTrack(burn_source* source) {
    delete static_cast<SourceState*>(source->data);
    source->data = nullptr;
}

} // namespace

burn_source* NewTrackSource(const std::vector<Track>& tracks, const std::atomic<bool>& stop) {
    // libburn frees the structure itself with free().
    auto* source = static_cast<burn_source*>(std::calloc(1, sizeof(burn_source)));
    if (source == nullptr) return nullptr;
    source->refcount = 1;
    source->read = ReadTrack;
    source->get_size = TrackSize;
    source->set_size = SetTrackSize;
    source->free_data = FreeTrack;
    source->data = new SourceState(tracks, stop);
    return source;
}

} // namespace qv::engine
