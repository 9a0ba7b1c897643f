#pragma once
// SHA-256 for checking decoded data against published digests; streaming, so
// large outputs need not be kept in memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::test {

class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t size);
    // Lowercase hex of the digest; the object is spent afterwards.
    std::string HexDigest();

private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    size_t pendingSize_ = 0;
    uint64_t totalBytes_ = 0;
};

} // namespace qv::test
