#include "app/CommonUtils.h"

#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

namespace qv::app {
namespace {

constexpr const char* kMax = "/max#13/#10";

TEST(HasSwitchTest, WholeArgumentWithAsciiLettersFolded) {
    struct Case {
        const char* argument;
        bool matches;
    };
    const Case cases[] = {
        {"/max#13/#10", true},
        {"/MAX#13/#10", true},
        {"/mAx#13/#10", true},
        {"/max", false},         // without its seven characters
        {"/max#13/#10 ", false}, // one character added
        {"/max#13/#10x", false},
        {"x/max#13/#10", false},
        {"-max#13/#10", false}, // a minus sign for the slash
        {"\\max#13/#10", false},
        {"/max#13/#1", false},
        {"/max\r\n", false}, // a real line break is not "#13/#10"
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SwitchMatches(c.argument, kMax), c.matches) << c.argument;
}

TEST(HasSwitchTest, OnlyLettersAToZAreFolded) {
    // Characters 0x20 apart that are not letters A-Z stay different.
    EXPECT_FALSE(SwitchMatches("/[", "/{"));
    EXPECT_FALSE(SwitchMatches("/@", "/`"));
    EXPECT_FALSE(SwitchMatches("/\xC9", "/\xE9")); // E acute in Latin-1, both cases
    EXPECT_TRUE(SwitchMatches("/Z", "/z"));
}

TEST(HasSwitchTest, AnyPositionAmongOtherArguments) {
    const std::vector<std::string> arguments = {"file.txt", "/spawn", "/SPAWNQV00#13/#10", "--x"};
    EXPECT_TRUE(HasSwitch(arguments, "/spawnqv00#13/#10"));
    EXPECT_FALSE(HasSwitch(arguments, kMax));
    EXPECT_FALSE(HasSwitch(std::vector<std::string>{}, kMax));
}

TEST(SizeGateTest, BoundariesAroundTheMinimumPayload) {
    test::PlatformTempFolder folder;
    constexpr int64_t kOffset = 5000;
    const int64_t minimum = kOffset + kMinimumPayloadBytes;
    const std::string short1 = folder.Write("a", std::string(kOffset + 1023, 'x'));
    const std::string exact = folder.Write("b", std::string(kOffset + 1024, 'x'));
    int32_t ownSize = -1;
    EXPECT_FALSE(SizeGate(short1, minimum, kSizeGateMaximum, ownSize));
    EXPECT_EQ(ownSize, kOffset + 1023);
    EXPECT_TRUE(SizeGate(exact, minimum, kSizeGateMaximum, ownSize));
    EXPECT_EQ(ownSize, kOffset + 1024);
    EXPECT_FALSE(SizeGate(exact, minimum, kOffset + 1023, ownSize)); // above the maximum
    EXPECT_FALSE(SizeGate(folder.File("missing"), minimum, kSizeGateMaximum, ownSize));
    EXPECT_EQ(ownSize, 0);
}

TEST(WorkingFolderPathTest, PutsTheExecutableFolderInFrontOfOtherFolders) {
#ifdef _WIN32
    const std::string folder = "C:\\apps\\disc\\";
#else
    const std::string folder = "/apps/disc/";
#endif
    SetExecutablePath(folder + "qvapplet");
    EXPECT_EQ(ExecutableFolder(), folder);
    EXPECT_EQ(WorkingFolderPath("qvorig.qv"), folder + "qvorig.qv");
    EXPECT_EQ(WorkingFolderPath(folder + "qvorig.qv"), folder + "qvorig.qv");
    EXPECT_EQ(WorkingFolderPath("sub/x"), folder + "sub/x");
    SetExecutablePath("");
}

TEST(FileVersionTextTest, ThreeForms) {
    const platform::FileVersionNumbers version{(4u << 16) | 60u, (0u << 16) | 1021u};
    EXPECT_EQ(FormatFileVersion(version, kVersionShort), "4.600");
    EXPECT_EQ(FormatFileVersion(version, kVersionLong), "4.600(1021)");
    EXPECT_EQ(FormatFileVersion(version, kVersionFull), "4.600(1021)");
    const platform::FileVersionNumbers other{(1u << 16) | 2u, (3u << 16) | 4u};
    EXPECT_EQ(FormatFileVersion(other, kVersionShort), "1.23");
}

TEST(FileVersionTextTest, NotFoundForFilesWithoutVersion) {
    test::PlatformTempFolder folder;
    EXPECT_EQ(FileVersionText(folder.Write("plain.dll", "not a program"), kVersionShort),
              "Not Found");
    EXPECT_EQ(FileVersionText(folder.File("missing.dll"), kVersionLong), "Not Found");
}

TEST(ShortDateTest, MonthDayYearWithSlashes) {
    EXPECT_EQ(FormatShortDate(2026, 3, 7), "03/07/2026");
    EXPECT_EQ(FormatShortDate(1999, 12, 31), "12/31/1999");
}

TEST(DeleteWorkingFileTest, RemovesAFileOfTheWorkingFolder) {
    test::PlatformTempFolder folder;
    SetExecutablePath(folder.File("qvapplet"));
    const std::string path = folder.Write("qvorig.qv", "[TITLE]");
    EXPECT_TRUE(DeleteWorkingFile("qvorig.qv"));
    EXPECT_FALSE(platform::FileExists(path));
    EXPECT_FALSE(DeleteWorkingFile("qvorig.qv"));
    SetExecutablePath("");
}

} // namespace
} // namespace qv::app
