#pragma once
// The archive component's exception classes, each with its fixed message.

#include <stdexcept>
#include <string>

namespace qv::payload {

namespace messages {
inline constexpr const char* kInvalidHeader = "Can't recognize compressed file header";
inline constexpr const char* kInvalidHeaderArchiveType = "Archive type must be caMulti";
inline constexpr const char* kUnrecognizedMethodPrefix = "Unrecognized compression method: ";
inline constexpr const char* kUnrecognizedMethodSuffix = " in header";
inline constexpr const char* kInsufficientDiskSpace = "Not enough disk space to expand ";
inline constexpr const char* kBadChecksum = "Bad checksum during expansion -- data may be invalid";
inline constexpr const char* kInvalidKey = "File locked -- valid key required";
inline constexpr const char* kUnableToCompress = "Could not compress data, will store instead";
inline constexpr const char* kLzhBadDecodeTable = "Bad decode table in archive!";
} // namespace messages

class EInvalidHeader : public std::runtime_error {
public:
    EInvalidHeader() : std::runtime_error(messages::kInvalidHeader) {}
};

class EInvalidHeaderArchiveType : public std::runtime_error {
public:
    EInvalidHeaderArchiveType() : std::runtime_error(messages::kInvalidHeaderArchiveType) {}
};

class EUnrecognizedCompressionMethod : public std::runtime_error {
public:
    explicit EUnrecognizedCompressionMethod(const std::string& id)
        : std::runtime_error(std::string(messages::kUnrecognizedMethodPrefix) + "\"" + id + "\"" +
                             messages::kUnrecognizedMethodSuffix) {}
};

class EInsufficientDiskSpace : public std::runtime_error {
public:
    explicit EInsufficientDiskSpace(const std::string& path)
        : std::runtime_error(messages::kInsufficientDiskSpace + path) {}
};

class EBadChecksum : public std::runtime_error {
public:
    EBadChecksum() : std::runtime_error(messages::kBadChecksum) {}
};

class EInvalidKey : public std::runtime_error {
public:
    EInvalidKey() : std::runtime_error(messages::kInvalidKey) {}
};

class EUnableToCompress : public std::runtime_error {
public:
    EUnableToCompress() : std::runtime_error(messages::kUnableToCompress) {}
};

class ELZHBadDecodeTable : public std::runtime_error {
public:
    ELZHBadDecodeTable() : std::runtime_error(messages::kLzhBadDecodeTable) {}
};

} // namespace qv::payload
