#pragma once
// The data-disc image of a folder (ISO 9660 with Joliet and Rock Ridge),
// made while it is read: Read hands out the image's bytes in order.
// Builds without the image library throw DataError on construction.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv::qvpack {

struct ImageOptions {
    std::string volumeId;
    // Every timestamp of the image when set; else the files keep their own
    // times and the volume takes the newest of them.
    std::optional<int64_t> date;
    int isoLevel = 2;
    bool allowOversize = false;
};

// 80 minutes of a CD-R at 75 sectors a second: the largest blank CD sold
// ("700 MB") holds 360,000 data sectors of 2048 bytes.
inline constexpr int64_t kCdSectors = 360000;
inline constexpr int64_t kSectorBytes = 2048;

class FolderImage {
public:
    FolderImage(const std::string& folder, const ImageOptions& options);
    ~FolderImage();
    FolderImage(const FolderImage&) = delete;
    FolderImage& operator=(const FolderImage&) = delete;

    int64_t Size() const;
    // Up to `count` bytes (at least one sector's room); 0 at the end. A file
    // that cannot be read or the library's failure throws DataError.
    size_t Read(uint8_t* buffer, size_t count);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qv::qvpack
