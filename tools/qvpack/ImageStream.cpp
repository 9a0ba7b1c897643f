#include "ImageStream.h"

#include <algorithm>
#include <cstring>

namespace qv::qvpack {

namespace {
// Whole sectors from the image library at a time.
constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr const char* kOnlyForward = "the disc image is made as it is read: it cannot seek there";
constexpr const char* kReadOnly = "the disc image cannot be written to";
} // namespace

ImageStream::ImageStream(std::string folder, ImageOptions options)
    : folder_(std::move(folder)), options_(std::move(options)),
      image_(std::make_unique<FolderImage>(folder_, options_)), size_(image_->Size()) {}

int32_t ImageStream::Read(void* buffer, int32_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        if (chunkUsed_ == chunk_.size()) {
            chunk_.resize(kChunkBytes);
            chunk_.resize(image_->Read(chunk_.data(), chunk_.size()));
            chunkUsed_ = 0;
            if (chunk_.empty()) break;
        }
        const size_t n = std::min(chunk_.size() - chunkUsed_, static_cast<size_t>(count - done));
        std::memcpy(out + done, chunk_.data() + chunkUsed_, n);
        chunkUsed_ += n;
        done += static_cast<int32_t>(n);
    }
    position_ += done;
    return done;
}

void ImageStream::Write(const void*, int32_t) {
    throw payload::EFileStreamError(kReadOnly);
}

int64_t ImageStream::Seek(int64_t offset, payload::SeekOrigin origin) {
    const int64_t target = origin == payload::SeekOrigin::Begin     ? offset
                           : origin == payload::SeekOrigin::Current ? position_ + offset
                                                                    : size_ + offset;
    if (target == position_) return position_;
    if (target != 0) throw payload::EFileStreamError(kOnlyForward);
    image_.reset(); // one image generator at a time
    image_ = std::make_unique<FolderImage>(folder_, options_);
    chunk_.clear();
    chunkUsed_ = 0;
    position_ = 0;
    return 0;
}

} // namespace qv::qvpack
