#include "app/CommonUtils.h"
#include "platform/FileVersion.h"
#include "platform/VersionBlock.h"

#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::platform {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kPeHeader = 0x40;
constexpr size_t kOptionalHeader = kPeHeader + 24;
constexpr size_t kSectionTable = kOptionalHeader + 240;
constexpr size_t kResourceFile = 0x200;
constexpr uint32_t kResourceRva = 0x1000;
constexpr size_t kVersionBlock = 0x58; // within the resource section

void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A minimal 64-bit PE image: headers, one ".rsrc" section holding the tree
// type 16 (version) -> id 1 -> language 0x409 -> VS_VERSIONINFO.
Bytes MakePe(uint32_t ms, uint32_t ls) {
    Bytes b(kResourceFile + 0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kPeHeader);
    b[kPeHeader] = 'P';
    b[kPeHeader + 1] = 'E';
    Put16(b, kPeHeader + 4, 0x8664);
    Put16(b, kPeHeader + 6, 1);          // one section
    Put16(b, kPeHeader + 20, 240);       // optional header size
    Put16(b, kOptionalHeader, 0x20B);    // PE32+
    Put32(b, kOptionalHeader + 108, 16); // data directories
    Put32(b, kOptionalHeader + 112 + 16, kResourceRva);
    Put32(b, kOptionalHeader + 112 + 20, 0x200);
    std::copy_n(".rsrc", 5, b.begin() + kSectionTable);
    Put32(b, kSectionTable + 8, 0x200);
    Put32(b, kSectionTable + 12, kResourceRva);
    Put32(b, kSectionTable + 16, 0x200);
    Put32(b, kSectionTable + 20, kResourceFile);

    const size_t r = kResourceFile;
    Put16(b, r + 14, 1);
    Put32(b, r + 16, 16);
    Put32(b, r + 20, 0x80000000u | 0x18);
    Put16(b, r + 0x18 + 14, 1);
    Put32(b, r + 0x18 + 16, 1);
    Put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
    Put16(b, r + 0x30 + 14, 1);
    Put32(b, r + 0x30 + 16, 0x409);
    Put32(b, r + 0x30 + 20, 0x48);
    Put32(b, r + 0x48, kResourceRva + kVersionBlock);
    Put32(b, r + 0x48 + 4, 92);

    const size_t v = r + kVersionBlock;
    Put16(b, v, 92);
    Put16(b, v + 2, 52);
    const std::u16string key = u"VS_VERSION_INFO";
    for (size_t i = 0; i < key.size(); ++i)
        Put16(b, v + 6 + 2 * i, key[i]);
    Put32(b, v + 40, 0xFEEF04BDu);
    Put32(b, v + 44, 0x10000);
    Put32(b, v + 48, ms);
    Put32(b, v + 52, ls);
    return b;
}

std::optional<FileVersionNumbers> Parse(const Bytes& b) {
    return PeFileVersion(b.data(), b.size());
}

TEST(PeVersionReaderTest, ReadsTheFixedFileVersion) {
    const auto version = Parse(MakePe((4u << 16) | 60u, 1021u));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->mostSignificant, (4u << 16) | 60u);
    EXPECT_EQ(version->leastSignificant, 1021u);
    EXPECT_EQ(app::FormatFileVersion(*version, app::kVersionFull), "4.600(1021)");
}

#ifndef _WIN32
// Windows asks the system's version API instead.
TEST(PeVersionReaderTest, FileVersionTextOfAPeFile) {
    test::PlatformTempFolder folder;
    const Bytes pe = MakePe((5u << 16) | 1u, (2u << 16) | 7u);
    const std::string path = folder.Write("wnaspi32.dll", std::string(pe.begin(), pe.end()));
    EXPECT_EQ(app::FileVersionText(path, app::kVersionShort), "5.12");
    EXPECT_EQ(app::FileVersionText(path, app::kVersionLong), "5.12(7)");
}
#endif

TEST(PeVersionReaderTest, EveryTruncationIsRefused) {
    const Bytes whole = MakePe(1, 2);
    const size_t needed = kResourceFile + kVersionBlock + 92;
    for (size_t size = 0; size < needed; ++size) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(Parse(cut)) << size;
    }
}

TEST(PeVersionReaderTest, HostileFieldsAreRefused) {
    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
        bool wide;
    };
    const Damage damages[] = {
        {"PE header far away", 0x3C, 0xFFFFFFF0u, true},
        {"no PE signature", kPeHeader, 0x4550 + 1, true},
        {"unknown optional header", kOptionalHeader, 0x30B, false},
        {"no resource directory", kOptionalHeader + 108, 2, true},
        {"section data beyond the file", kSectionTable + 20, 0x7FFFFFF0u, true},
        {"no section holds the resources", kSectionTable + 12, 0x2000, true},
        {"type directory loops to itself", kResourceFile + 20, 0x80000000u, true},
        {"no version type", kResourceFile + 16, 3, true},
        {"data entry beyond the section", kResourceFile + 0x48, kResourceRva + 0x1F0, true},
        {"huge entry counts", kResourceFile + 12, 0xFFFF, false},
        {"value too short", kResourceFile + kVersionBlock + 2, 20, false},
        {"wrong key", kResourceFile + kVersionBlock + 6, 'X', false},
        {"wrong signature", kResourceFile + kVersionBlock + 40, 0xFEEF04BCu, true},
    };
    for (const Damage& damage : damages) {
        Bytes b = MakePe(1, 2);
        if (damage.wide)
            Put32(b, damage.at, damage.value);
        else
            Put16(b, damage.at, static_cast<uint16_t>(damage.value));
        EXPECT_FALSE(Parse(b)) << damage.what;
    }
}

TEST(PeVersionReaderTest, OtherFilesHaveNoVersion) {
    const std::string elf = "\x7F"
                            "ELF\x02\x01\x01";
    EXPECT_FALSE(PeFileVersion(reinterpret_cast<const uint8_t*>(elf.data()), elf.size()));
    EXPECT_FALSE(PeFileVersion(nullptr, 0));
}

// The Linux applet's version block reads back through the resource parser;
// a block whose key is damaged gives nothing.
TEST(PeVersionReaderTest, VersionBlockOfTheLinuxApplet) {
    TVersionBlock block = MakeVersionBlock(1, 2, 3, 4);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&block);
    const auto version = VersionBlockNumbers(bytes, sizeof block);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->mostSignificant, (1u << 16) | 2u);
    EXPECT_EQ(version->leastSignificant, (3u << 16) | 4u);
    EXPECT_EQ(app::FormatFileVersion(*version, app::kVersionLong), "1.23(4)");
    EXPECT_FALSE(VersionBlockNumbers(bytes, sizeof block - 1));
    block.key[0] = u'X';
    EXPECT_FALSE(VersionBlockNumbers(bytes, sizeof block));
}

} // namespace
} // namespace qv::platform
