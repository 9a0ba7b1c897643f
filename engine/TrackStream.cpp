#include "TrackStream.h"

#include "CdRwLib.h"

#include <algorithm>
#include <cstring>

namespace qv::engine {

namespace {

uint64_t PaddedSize(uint64_t bytes) {
    return (bytes + CDRW_SECTOR_SIZE - 1) / CDRW_SECTOR_SIZE * CDRW_SECTOR_SIZE;
}

} // namespace

std::istream& RewoundTrackFile(const Track& track) {
    if (!track.file) track.file = std::make_shared<std::ifstream>(track.path, std::ios::binary);
    track.file->clear();
    track.file->seekg(0);
    return *track.file;
}

uint64_t TrackBytes(const std::vector<Track>& tracks) {
    uint64_t total = 0;
    for (const Track& track : tracks)
        total += PaddedSize(track.size);
    return total;
}

bool TrackStream::openNext() {
    if (next_ >= tracks_.size()) return false;
    const Track& track = tracks_[next_++];
    file_ = &RewoundTrackFile(track);
    fileLeft_ = track.size;
    paddingLeft_ = PaddedSize(track.size) - track.size;
    return true;
}

bool TrackStream::read(char* data, size_t size, size_t& filled) {
    filled = 0;
    while (filled < size) {
        if (fileLeft_ > 0) {
            const auto count =
                static_cast<std::streamsize>(std::min<uint64_t>(fileLeft_, size - filled));
            if (!file_->read(data + filled, count)) return false;
            fileLeft_ -= static_cast<uint64_t>(count);
            filled += static_cast<size_t>(count);
        } else if (paddingLeft_ > 0) {
            const size_t count =
                static_cast<size_t>(std::min<uint64_t>(paddingLeft_, size - filled));
            std::memset(data + filled, 0, count);
            paddingLeft_ -= count;
            filled += count;
        } else if (!openNext()) {
            return true;
        } else if (!*file_) {
            return false;
        }
    }
    return true;
}

} // namespace qv::engine
