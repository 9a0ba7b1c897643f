#include "LibburnTrackSource.h"

#include "CdRwLib.h"

#include <libburn/libburn.h>

#include <cstdlib>
#include <thread>

namespace qv::engine {

using namespace burn;

namespace {

constexpr auto kPaceStep = std::chrono::milliseconds(20);

struct SourceState {
    SourceState(const std::vector<Track>& tracks, std::optional<TrackPace> trackPace,
                const std::atomic<bool>& stopFlag)
        : stream(tracks), size(static_cast<off_t>(TrackBytes(tracks))), stop(stopFlag) {
        if (trackPace && trackPace->timeScale > 0 && trackPace->speed > 0)
            pace.emplace(trackPace->timeScale, trackPace->speed);
    }
    TrackStream stream;
    off_t size;
    const std::atomic<bool>& stop;
    std::optional<WritePace> pace;
    uint64_t sectors = 0;
};

SourceState& StateOf(burn_source* source) {
    return *static_cast<SourceState*>(source->data);
}

// False when stopped while waiting.
bool WaitForPace(SourceState& state) {
    if (!state.pace) return !state.stop;
    const auto deadline = state.pace->deadlineAfter(state.sectors);
    while (std::chrono::steady_clock::now() < deadline) {
        if (state.stop) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            kPaceStep, deadline - std::chrono::steady_clock::now()));
    }
    return !state.stop;
}

int ReadTrack(burn_source* source, unsigned char* buffer, int size) {
    SourceState& state = StateOf(source);
    if (size <= 0) return 0;
    if (!WaitForPace(state)) return -1;
    size_t filled = 0;
    if (!state.stream.read(reinterpret_cast<char*>(buffer), static_cast<size_t>(size), filled))
        return -1;
    state.sectors += (filled + CDRW_SECTOR_SIZE - 1) / CDRW_SECTOR_SIZE;
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

burn_source* NewTrackSource(const std::vector<Track>& tracks, std::optional<TrackPace> pace,
                            const std::atomic<bool>& stop) {
    // libburn frees the structure itself with free().
    auto* source = static_cast<burn_source*>(std::calloc(1, sizeof(burn_source)));
    if (source == nullptr) return nullptr;
    source->refcount = 1;
    source->read = ReadTrack;
    source->get_size = TrackSize;
    source->set_size = SetTrackSize;
    source->free_data = FreeTrack;
    source->data = new SourceState(tracks, pace, stop);
    return source;
}

} // namespace qv::engine
