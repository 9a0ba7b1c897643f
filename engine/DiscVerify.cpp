#include "DiscVerify.h"

#include "CdRwLib.h"
#include "TrackStream.h"

#include <algorithm>
#include <cstring>
#include <iostream>

namespace qv::engine {

namespace {

constexpr const char* kReadFailed = "CdRwLib: verify: the disc cannot be read at byte ";
constexpr const char* kDiffers = "CdRwLib: verify: the disc differs from the image in sector ";
constexpr const char* kSourceFailed = "CdRwLib: verify: the image cannot be read again";
constexpr size_t kChunkSectors = 32;

// The first differing byte's offset within the chunk, or size.
size_t FirstDifference(const char* a, const char* b, size_t size) {
    return static_cast<size_t>(std::mismatch(a, a + size, b).first - a);
}

} // namespace

int32_t VerifyWrittenTrack(const std::vector<Track>& tracks, const DiscReader& readDisc,
                           const std::atomic<bool>* stop) {
    TrackStream expected(tracks);
    std::vector<char> want(kChunkSectors * CDRW_SECTOR_SIZE), got(want.size());
    const auto stopped = [stop] { return stop != nullptr && *stop; };
    for (uint64_t offset = 0;;) {
        if (stopped()) return CDRW_TERMINATED;
        size_t filled = 0;
        if (!expected.read(want.data(), want.size(), filled)) {
            std::cerr << kSourceFailed << '\n';
            return CDRW_BAD_RESPONSE;
        }
        if (filled == 0) return CDRW_SUCCESS;
        if (!readDisc(offset, got.data(), filled)) {
            if (stopped()) return CDRW_TERMINATED;
            std::cerr << kReadFailed << offset << '\n';
            return CDRW_BAD_RESPONSE;
        }
        const size_t at = FirstDifference(want.data(), got.data(), filled);
        if (at < filled) {
            std::cerr << kDiffers << (offset + at) / CDRW_SECTOR_SIZE << '\n';
            return CDRW_BAD_RESPONSE;
        }
        offset += filled;
    }
}

} // namespace qv::engine
