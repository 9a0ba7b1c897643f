#include "Stream.h"

#include "CompressErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <share.h>
#else
#include <sys/stat.h>
#endif

namespace qv::payload {

namespace {
constexpr const char* kReadError = "Stream read error";
constexpr const char* kWriteError = "Stream write error";
constexpr const char* kSeekError = "Stream seek error";
constexpr const char* kOpenError = "Cannot open file ";

int Whence(SeekOrigin origin) {
    switch (origin) {
    case SeekOrigin::Begin:
        return SEEK_SET;
    case SeekOrigin::Current:
        return SEEK_CUR;
    case SeekOrigin::End:
        return SEEK_END;
    }
    return SEEK_SET;
}

#ifdef _WIN32
int64_t Tell(std::FILE* f) {
    return _ftelli64(f);
}
int SeekTo(std::FILE* f, int64_t offset, int whence) {
    return _fseeki64(f, offset, whence);
}
#else
int64_t Tell(std::FILE* f) {
    return ftello(f);
}
int SeekTo(std::FILE* f, int64_t offset, int whence) {
    return fseeko(f, static_cast<off_t>(offset), whence);
}
#endif
} // namespace

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || position_ >= Size()) return 0;
    const int64_t available = Size() - position_;
    const auto n = static_cast<int32_t>(std::min<int64_t>(count, available));
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return;
    const auto end = static_cast<size_t>(position_) + static_cast<size_t>(count);
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = static_cast<int64_t>(end);
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    if (origin == SeekOrigin::Current) base = position_;
    if (origin == SeekOrigin::End) base = Size();
    if (base + offset < 0) throw EFileStreamError(kSeekError);
    position_ = base + offset;
    return position_;
}

void TNullStream::Write(const void*, int32_t count) {
    if (count <= 0) return;
    position_ += count;
    size_ = std::max(size_, position_);
}

int64_t TNullStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    if (origin == SeekOrigin::Current) base = position_;
    if (origin == SeekOrigin::End) base = size_;
    if (base + offset < 0) throw EFileStreamError(kSeekError);
    position_ = base + offset;
    return position_;
}

namespace {
std::FILE* OpenFile(const std::string& path, TFileStream::Mode mode) {
    using Mode = TFileStream::Mode;
    const char* fopenMode = mode == Mode::OpenRead        ? "rb"
                            : mode == Mode::OpenReadWrite ? "r+b"
                                                          : "w+b";
#ifdef _WIN32
    if (mode == Mode::CreateExclusive) return _fsopen(path.c_str(), fopenMode, _SH_DENYRW);
#else
    // "x": the name must be new, so nothing is written through a link or
    // into a file another program has open.
    if (mode == Mode::CreateExclusive) return std::fopen(path.c_str(), "w+bx");
#endif
    return std::fopen(path.c_str(), fopenMode);
}

// The C library opens a folder for reading on POSIX systems; reads then fail.
bool IsFolder(std::FILE* f) {
#ifdef _WIN32
    (void)f;
    return false; // fopen refuses folders there
#else
    struct stat info {};
    return fstat(fileno(f), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}
} // namespace

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
    file_ = OpenFile(path, mode);
    if (file_ && IsFolder(file_)) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!file_ && mode == Mode::CreateExclusive) throw ECannotCreateFile(kOpenError + path);
    if (!file_) throw EFileStreamError(kOpenError + path);
}

TFileStream::~TFileStream() {
    if (file_ && owned_) std::fclose(file_);
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    if (count <= 0) return 0;
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(count), file_);
    if (n < static_cast<size_t>(count) && std::ferror(file_)) throw EFileStreamError(kReadError);
    return static_cast<int32_t>(n);
}

void TFileStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return;
    errno = 0;
    if (std::fwrite(buffer, 1, static_cast<size_t>(count), file_) != static_cast<size_t>(count))
        ThrowWriteError();
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
    if (origin == SeekOrigin::Current && offset == 0) {
        const int64_t here = Tell(file_);
        if (here < 0) throw EFileStreamError(kSeekError);
        return here;
    }
    if (SeekTo(file_, offset, Whence(origin)) != 0) throw EFileStreamError(kSeekError);
    return Tell(file_);
}

int64_t TFileStream::Size() {
    const int64_t here = Tell(file_);
    if (here < 0 || SeekTo(file_, 0, SEEK_END) != 0) throw EFileStreamError(kSeekError);
    const int64_t end = Tell(file_);
    SeekTo(file_, here, SEEK_SET);
    return end;
}

void TFileStream::Flush() {
    errno = 0;
    if (std::fflush(file_) != 0) ThrowWriteError();
}

// A full volume is not a damaged stream: callers tell the user about space.
void TFileStream::ThrowWriteError() const {
    bool full = errno == ENOSPC;
#ifdef EDQUOT
    full = full || errno == EDQUOT;
#endif
    if (full) throw EInsufficientDiskSpace(path_);
    throw EFileStreamError(kWriteError);
}

} // namespace qv::payload
