// Writing archives: the documented example byte for byte, stored names,
// the host's OnCheckFile answers, the fallback to "NON", "CUS" and keys.
#include "payload/archive/ArchivePaths.h"
#include "tests/unit/payload/ArchiveTestSupport.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using payload::kMethodCUS;
using payload::kMethodLH5;
using payload::kMethodNON;
using payload::kMethodRLE;
using payload::TMemberList;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TMemberList ListOf(TCompress& c, const Bytes& archive) {
    TMemoryStream in(archive);
    TMemberList list;
    c.ListMembers(&in, list);
    return list;
}

TEST(ArchiveWrite, TheExampleArchiveByteForByte) {
    PlatformTempFolder folder;
    const std::string path = folder.Write("a.txt", "abc");
    const uint32_t date = platform::DosDateTimeFromLocal({2001, 2, 3, 4, 5, 6});
    ASSERT_TRUE(platform::SetFileDosDateTime(path, date));
    ASSERT_TRUE(platform::SetFileAttributes(path, 0x20));
    TCompress c;
    c.SetTargetPath(folder.Path());
    TStringList files = {path};
    TMemoryStream out;
    c.WriteArchive(&out, files, kMethodNON);

    const Bytes expected = {'K',
                            'W',
                            'R',
                            'X',
                            0x1A,
                            'N',
                            'O',
                            'N',
                            0x03,
                            0x00,
                            0x00,
                            0x00,
                            0x01,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x05,
                            0x00,
                            static_cast<uint8_t>(date),
                            static_cast<uint8_t>(date >> 8),
                            static_cast<uint8_t>(date >> 16),
                            static_cast<uint8_t>(date >> 24),
                            0x20,
                            0x00,
                            0x03,
                            0x00,
                            0x00,
                            0x00,
                            0x03,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x26,
                            0x01,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            0x00,
                            'a',
                            '.',
                            't',
                            'x',
                            't',
                            'a',
                            'b',
                            'c'};
    EXPECT_EQ(out.Bytes(), expected);
    EXPECT_EQ(files, TStringList{"a.txt"});
    EXPECT_EQ(out.Position(), payload::archive::kHeaderSize); // left just after the header

    const TMemberList list = ListOf(c, out.Bytes());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "a.txt");
    EXPECT_EQ(list[0].Info.FileDate, date);
    EXPECT_EQ(list[0].Info.Position, 21);
    EXPECT_EQ(list[0].Info.Checksum, 0x126u);

    PlatformTempFolder target;
    Extract(c, out.Bytes(), target.Path());
    EXPECT_EQ(PlatformTempFolder::Read(target.File("a.txt")), "abc");
    EXPECT_EQ(platform::FileDosDateTime(target.File("a.txt")), date);
}

TEST(ArchiveWrite, StoredNamesDropTargetPathWithoutRegardToCase) {
    PlatformTempFolder folder;
    std::filesystem::create_directory(folder.File("sub"));
    const std::string path = folder.Write("sub/Deep.txt", "deep");
    TCompress c;
    c.SetTargetPath(payload::paths::UpperCase(folder.Path()));
    TStringList files = {path};
    TMemoryStream out;
    c.WriteArchive(&out, files, kMethodRLE);
    EXPECT_EQ(files, TStringList{"sub\\Deep.txt"});
}

TEST(ArchiveWrite, TargetPathGainsOneTrailingSeparator) {
    TCompress c;
    c.SetTargetPath("C:\\data");
    EXPECT_EQ(c.TargetPath(), std::string("C:\\data") + payload::paths::kFolderSeparator);
    c.SetTargetPath("C:\\data\\");
    EXPECT_EQ(c.TargetPath(), "C:\\data\\");
    c.SetTargetPath("");
    EXPECT_EQ(c.TargetPath(), "");
}

TEST(ArchiveWrite, OnCheckFileRenamesSkipsAndStops) {
    PlatformTempFolder folder;
    TCompress c;
    std::vector<std::string> seen;
    c.OnCheckFile = [&](std::string& name, payload::TCProcessMode mode) {
        EXPECT_EQ(mode, payload::pmCompress);
        seen.push_back(name);
        if (name == "skip.txt") name.clear();
        if (name == "rename.txt") name = "C:\\elsewhere\\renamed.txt"; // drive prefix dropped
        if (name == "stop.txt") name = "*";
    };
    const Bytes archive = ArchiveOf(c, folder,
                                    {{"keep.txt", Text("k")},
                                     {"skip.txt", Text("s")},
                                     {"rename.txt", Text("r")},
                                     {"stop.txt", Text("x")},
                                     {"never.txt", Text("n")}},
                                    kMethodNON);
    EXPECT_EQ(seen, (std::vector<std::string>{"keep.txt", "skip.txt", "rename.txt", "stop.txt"}));
    TCompress reader;
    const TMemberList list = ListOf(reader, archive);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name, "keep.txt");
    EXPECT_EQ(list[1].Name, "\\elsewhere\\renamed.txt");
}

TEST(ArchiveWrite, UnreadableFilesAreSkippedOrRaised) {
    PlatformTempFolder folder;
    const std::string good = folder.Write("good.txt", "g");
    TStringList files = {folder.File("missing.txt"), good};
    TCompress c;
    c.SetTargetPath(folder.Path());
    TMemoryStream out;
    c.WriteArchive(&out, files, kMethodNON);
    EXPECT_EQ(files, TStringList{"good.txt"});

    TStringList again = {folder.File("missing.txt")};
    c.ExceptionOnFileError = true;
    TMemoryStream out2;
    EXPECT_THROW(c.WriteArchive(&out2, again, kMethodNON), payload::EFileStreamError);
}

struct FallbackCase {
    const char* name;
    uint8_t method;
    Bytes data;
    uint8_t storedMethod;
};

class ArchiveWriteFallback : public ::testing::TestWithParam<FallbackCase> {};

// A member whose coded form would be longer is stored, while the header keeps
// the requested identifier; a coded form of exactly the file's length stays coded.
TEST_P(ArchiveWriteFallback, MethodOfTheMember) {
    const FallbackCase& fc = GetParam();
    PlatformTempFolder folder;
    TCompress c;
    const Bytes archive = ArchiveOf(c, folder, {{"f.bin", fc.data}}, fc.method);
    EXPECT_EQ(std::string(archive.begin() + 5, archive.begin() + 8),
              std::string(payload::kMethodIds[fc.method]));
    const TMemberList list = ListOf(c, archive);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Info.Method, fc.storedMethod);
    PlatformTempFolder target;
    Extract(c, archive, target.Path());
    EXPECT_EQ(PlatformTempFolder::Read(target.File("f.bin")), AsText(fc.data));
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveCases, ArchiveWriteFallback,
    ::testing::Values(FallbackCase{"RandomAsLh5", kMethodLH5, RandomBytes(5000), kMethodNON},
                      FallbackCase{"EscapeGrowsRle", kMethodRLE, Bytes{'a', 0x94, 'b'}, kMethodNON},
                      FallbackCase{"ExactLengthRle", kMethodRLE, Text("abc"), kMethodRLE},
                      FallbackCase{"TextAsLh5", kMethodLH5, TextLike(20000), kMethodLH5},
                      FallbackCase{"Empty", kMethodLH5, Bytes{}, kMethodLH5}),
    [](const auto& p) { return std::string(p.param.name); });

// A member the host hands as a stream (no file at its path) keeps the
// host's date and attributes, and the fallback to "NON" rewinds the stream.
TEST(ArchiveWrite, HostStreamsAMemberWithoutAFile) {
    PlatformTempFolder folder;
    const Bytes data = RandomBytes(5000);
    TCompress c;
    c.SetTargetPath(folder.Path());
    c.OnOpenMember = [&](const std::string& path) {
        payload::TMemberSource source;
        if (path != folder.File("made.bin")) return source;
        source.Stream = std::make_unique<TMemoryStream>(data);
        source.FileDate = 0x2A2B3C4D;
        source.Attributes = 0x20;
        return source;
    };
    TStringList files = {folder.File("made.bin")};
    TMemoryStream out;
    c.WriteArchive(&out, files, kMethodLH5);
    const TMemberList list = ListOf(c, out.Bytes());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Info.Method, kMethodNON);
    EXPECT_EQ(list[0].Info.FileDate, 0x2A2B3C4Du);
    EXPECT_EQ(list[0].Info.Attributes, 0x20);
    PlatformTempFolder target;
    Extract(c, out.Bytes(), target.Path());
    EXPECT_EQ(PlatformTempFolder::Read(target.File("made.bin")), AsText(data));
}

TEST(ArchiveWrite, CustomMethodGoesThroughTheHostBothWays) {
    PlatformTempFolder folder;
    TCompress c;
    c.OnCompress = [](payload::TStream* dest, payload::TStream* source, std::string& id,
                      int32_t& outputSize, int32_t& checksum) {
        uint8_t b;
        while (source->Read(&b, 1) == 1) {
            const uint8_t flipped = static_cast<uint8_t>(~b);
            dest->Write(&flipped, 1);
            ++outputSize;
            checksum += b;
        }
        id = "XYZ";
    };
    const Bytes archive = ArchiveOf(c, folder, {{"c.txt", Text("custom")}}, kMethodCUS);
    EXPECT_EQ(std::string(archive.begin() + 5, archive.begin() + 8), "XYZ");

    TCompress reader;
    reader.OnRecognize = [](const std::string& id, bool& recognized) { recognized = id == "XYZ"; };
    std::string seenId;
    reader.OnExpand = [&](payload::TStream* dest, payload::TStream* source, int32_t sourceSize,
                          int32_t destSize, const std::string& id, int32_t& checksum) {
        seenId = id;
        EXPECT_EQ(sourceSize, destSize);
        for (int32_t i = 0; i < sourceSize; ++i) {
            uint8_t b;
            ASSERT_EQ(source->Read(&b, 1), 1);
            b = static_cast<uint8_t>(~b);
            dest->Write(&b, 1);
            checksum += b;
        }
    };
    PlatformTempFolder target;
    Extract(reader, archive, target.Path());
    EXPECT_EQ(seenId, "XYZ");
    EXPECT_EQ(PlatformTempFolder::Read(target.File("c.txt")), "custom");
}

TEST(ArchiveWrite, KeysLockTheArchiveAndItsMembers) {
    for (const int32_t key : {0x12345678, -5}) {
        PlatformTempFolder folder;
        TCompress c;
        c.Key = key;
        const Bytes archive = ArchiveOf(c, folder, {{"k.txt", TextLike(3000)}}, kMethodLH5);
        EXPECT_EQ(archive[17], 2) << key; // header Locked
        const TMemberList list = ListOf(c, archive);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_TRUE(list[0].Info.Locked);
        PlatformTempFolder target;
        Extract(c, archive, target.Path());
        EXPECT_EQ(PlatformTempFolder::Read(target.File("k.txt")), AsText(TextLike(3000))) << key;
    }
}

TEST(ArchiveWrite, RatioAndElapsedOfTheLastMember) {
    PlatformTempFolder folder;
    TCompress c;
    const Bytes big = ArchiveOf(c, folder, {{"big.txt", TextLike(200000)}}, kMethodRLE);
    const TMemberList list = ListOf(c, big);
    ASSERT_EQ(list.size(), 1u);
    // Above 100,000 bytes the figure is CompressedSize / (OriginalSize / 100).
    EXPECT_EQ(c.LastRatio(), list[0].Info.CompressedSize / 2000);
    ArchiveOf(c, folder, {{"empty.txt", Bytes{}}}, kMethodRLE);
    EXPECT_EQ(c.LastRatio(), 100);
}

} // namespace
} // namespace qv::test
