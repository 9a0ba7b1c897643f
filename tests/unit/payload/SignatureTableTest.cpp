// Which certificate-table entries of a PE file count as a code signature.
#include "payload/SignatureTable.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::payload {
namespace {

constexpr size_t kPe = 0x80;
constexpr size_t kSecurityEntry = kPe + 4 + 20 + 112 + 4 * 8; // PE32+, fifth directory
constexpr size_t kBody = 0x400;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A PE32+ header with sixteen directories, kBody bytes in all, then `tail`;
// the security directory names [offset, offset + length).
std::vector<uint8_t> PeFile(const std::vector<uint8_t>& tail, uint32_t offset, uint32_t length) {
    std::vector<uint8_t> b(kBody, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kPe);
    std::memcpy(&b[kPe], "PE\0\0", 4);
    b[kPe + 24] = 0x0B;
    b[kPe + 25] = 0x02;
    Put32(b, kPe + 24 + 108, 16);
    Put32(b, kSecurityEntry, offset);
    Put32(b, kSecurityEntry + 4, length);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

// One certificate entry of `length` bytes with the given revision and type.
std::vector<uint8_t> Certificate(uint32_t length, uint16_t revision = 0x0200, uint16_t type = 2) {
    std::vector<uint8_t> c(length, 0x5A);
    Put32(c, 0, length);
    c[4] = static_cast<uint8_t>(revision);
    c[5] = static_cast<uint8_t>(revision >> 8);
    c[6] = static_cast<uint8_t>(type);
    c[7] = static_cast<uint8_t>(type >> 8);
    return c;
}

TEST(SignatureTable, OnlyAWellFormedTableAtTheEndIsASignature) {
    const std::vector<uint8_t> good = Certificate(1448);
    std::vector<uint8_t> two = Certificate(100);
    two.resize(104, 0);
    const std::vector<uint8_t> second = Certificate(64);
    two.insert(two.end(), second.begin(), second.end());
    struct Case {
        const char* what;
        std::vector<uint8_t> tail;
        uint32_t offset;
        uint32_t length;
        int64_t notBefore;
        bool signature;
    } cases[] = {
        {"one entry", good, kBody, 1448, 0, true},
        {"two entries, the first padded", two, kBody, 168, 0, true},
        {"starts before what must precede it", good, kBody, 1448, kBody + 8, false},
        {"one byte", {0x30}, kBody, 1, 0, false},
        {"the last bytes of other data", std::vector<uint8_t>(64, 0x41), kBody + 59, 5, 0, false},
        {"wrong revision", Certificate(1448, 0x0100), kBody, 1448, 0, false},
        {"wrong type", Certificate(1448, 0x0200, 1), kBody, 1448, 0, false},
        {"entry longer than the table", good, kBody, 1440, 0, false},
        {"not aligned", Certificate(1448), kBody - 4, 1452, 0, false},
        {"does not reach the end", good, kBody, 1000, 0, false},
    };
    for (const auto& c : cases) {
        TMemoryStream file(PeFile(c.tail, c.offset, c.length));
        const TSignatureTable table = FindSignatureTable(&file, c.notBefore);
        EXPECT_EQ(table.Present(), c.signature) << c.what;
        EXPECT_EQ(ArchiveRegionEnd(&file, table), c.signature ? c.offset : file.Size()) << c.what;
    }
}

} // namespace
} // namespace qv::payload
