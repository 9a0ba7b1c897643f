#pragma once
// Streams of the archive component: the codec engine needs only "read up to
// n bytes" and "write n bytes or raise"; the container also seeks.

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::payload {

// Raised by the file layer when a file cannot be opened, read or written.
class EFileStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that could not be made where it was asked for (the folder refuses
// it, or a name is in the way); the file layer's own failure, not damage.
class ECannotCreateFile : public EFileStreamError {
public:
    using EFileStreamError::EFileStreamError;
};

enum class SeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Writes all count bytes or raises EFileStreamError.
    virtual void Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    virtual int64_t Size() = 0;
};

// A growable in-memory stream; writing past the end extends it.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t>& Bytes() { return data_; }

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

// Swallows what is written (the expansion of a member being tested).
class TNullStream : public TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void*, int32_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return size_; }

private:
    int64_t position_ = 0;
    int64_t size_ = 0;
};

// A file stream on the C library, so the same code serves both systems.
class TFileStream : public TStream {
public:
    // OpenRead shares the file with other readers and writers; Create
    // truncates or creates it. CreateExclusive makes a new file only (an
    // existing name, a link included, is refused with ECannotCreateFile) and,
    // on Windows, lets no one else open it meanwhile. Opening a folder fails
    // in every mode. A write that finds the volume full raises
    // EInsufficientDiskSpace.
    enum class Mode { OpenRead, OpenReadWrite, Create, CreateExclusive };
    TFileStream(const std::string& path, Mode mode);
    // Adopts an already open FILE (standard input or output); not closed.
    explicit TFileStream(std::FILE* adopted) : file_(adopted), owned_(false) {}
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    void Flush();
    std::FILE* Handle() const { return file_; }

private:
    [[noreturn]] void ThrowWriteError() const;

    std::FILE* file_ = nullptr;
    bool owned_ = true;
    std::string path_;
};

} // namespace qv::payload
