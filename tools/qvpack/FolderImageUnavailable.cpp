// Builds without libisofs (the Windows qvpack): no image is made here.
#include "FolderImage.h"

#include "ArchiveSupport.h"

namespace qv::qvpack {

namespace {
constexpr const char* kNoImages =
    "this build of qvpack cannot make disc images: make one on Linux with "
    "'qvpack image DIR -o qvi9cd.qv' and add that file instead";
} // namespace

struct FolderImage::Impl {};

FolderImage::FolderImage(const std::string&, const ImageOptions&) {
    throw DataError(kNoImages);
}

FolderImage::~FolderImage() = default;

int64_t FolderImage::Size() const {
    return 0;
}

size_t FolderImage::Read(uint8_t*, size_t) {
    return 0;
}

} // namespace qv::qvpack
