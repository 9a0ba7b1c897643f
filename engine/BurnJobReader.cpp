#include "BurnJobReader.h"

#include <cstring>
#include <filesystem>

namespace qv::engine {

namespace {

bool HasTerminator(const char* text, size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

// The file of one entry, or CDRW_INCORRECT_FILE.
int32_t ReadEntry(const BurnJob& job, uint32_t index, Track& track) {
    if (!HasTerminator(job.path[index], CDRW_PATH_SIZE)) return CDRW_INCORRECT_FILE;
    if (!HasTerminator(job.title[index], CDRW_TITLE_SIZE)) return CDRW_BAD_PARAMETER;
    const std::filesystem::path path(job.path[index]);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return CDRW_INCORRECT_FILE;
    const uintmax_t size = std::filesystem::file_size(path, error);
    // The record carries the size the caller meant to write; a file that
    // changed since is not the file the caller described.
    if (error || size != job.size[index]) return CDRW_INCORRECT_FILE;
    track.path = path.string();
    track.size = size;
    RewoundTrackFile(track);
    return CDRW_SUCCESS;
}

} // namespace

int32_t ReadBurnJob(const BurnJob& job, std::vector<Track>& tracks) {
    tracks.clear();
    if (job.entryCount == 0 || job.entryCount > CDRW_MAX_ENTRIES) return CDRW_INCORRECT_FILE;
    if (!HasTerminator(job.discTitle, CDRW_TITLE_SIZE)) return CDRW_BAD_PARAMETER;
    for (uint32_t index = 0; index < job.entryCount; ++index) {
        Track track;
        const int32_t status = ReadEntry(job, index, track);
        if (status != CDRW_SUCCESS) return status;
        tracks.push_back(std::move(track));
    }
    return CDRW_SUCCESS;
}

} // namespace qv::engine
