#include "RegionStream.h"

#include <algorithm>

namespace qv::payload {

namespace {
constexpr const char* kReadOnlyRegion = "The archive region is read-only";
}

TRegionStream::TRegionStream(std::unique_ptr<TStream> whole, int64_t end)
    : whole_(std::move(whole)), end_(std::min(end, whole_->Size())) {}

int32_t TRegionStream::Read(void* buffer, int32_t count) {
    const int64_t left = end_ - whole_->Position();
    if (left <= 0 || count <= 0) return 0;
    return whole_->Read(buffer, static_cast<int32_t>(std::min<int64_t>(count, left)));
}

void TRegionStream::Write(const void*, int32_t) {
    throw EFileStreamError(kReadOnlyRegion);
}

int64_t TRegionStream::Seek(int64_t offset, SeekOrigin origin) {
    if (origin == SeekOrigin::End) return whole_->Seek(end_ + offset, SeekOrigin::Begin);
    return whole_->Seek(offset, origin);
}

} // namespace qv::payload
