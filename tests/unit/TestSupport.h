#pragma once
// Helpers shared by the unit tests: running RunCodec on byte vectors, test
// data that compresses like real files, and the peer corpus location.

#include "payload/archive/Compress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

struct CodecResult {
    Bytes output;
    uint32_t checksum = 0;
    int32_t written = 0;
};

CodecResult Encode(uint8_t method, const Bytes& input, int32_t key = 0);
CodecResult Decode(uint8_t method, const Bytes& stored, int32_t originalSize, int32_t key = 0,
                   bool keyFlag = false);

// Deterministic sample data of several kinds.
Bytes TextLike(size_t size, uint32_t salt = 1);
Bytes RandomBytes(size_t size, uint32_t salt = 1);
Bytes BinaryLike(size_t size, uint32_t salt = 1);

Bytes ReadFileBytes(const std::string& path);
std::string CorpusDir();

} // namespace qv::test
