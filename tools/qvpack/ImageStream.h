#pragma once
// A folder's disc image as a payload stream, made while the coder reads it,
// so no image file is written. Going back to the start makes the image
// again: the same folder gives the same bytes.

#include "FolderImage.h"
#include "payload/codec/Stream.h"

#include <memory>
#include <string>
#include <vector>

namespace qv::qvpack {

class ImageStream : public payload::TStream {
public:
    // Scans the folder and sizes the image at once, so a folder that cannot
    // become a disc stops the command before anything is written.
    ImageStream(std::string folder, ImageOptions options);
    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, payload::SeekOrigin origin) override;
    int64_t Size() override { return size_; }
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    ImageOptions options_;
    std::unique_ptr<FolderImage> image_;
    int64_t size_ = 0;
    int64_t position_ = 0;
    std::vector<uint8_t> chunk_;
    size_t chunkUsed_ = 0;
};

} // namespace qv::qvpack
