#include "platform/Files.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace qv::platform {
namespace {

using test::PlatformTempFolder;

// Wine reports the archive bit on every file, so under Windows it is left
// out of comparisons.
int32_t Comparable(int32_t word) {
#ifdef _WIN32
    return word & ~kAttrArchive;
#else
    return word;
#endif
}

TEST(PlatformFiles, AttributeWordRoundTrips) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("a.bin", "x");
    const uint16_t words[] = {kAttrArchive,
                              kAttrReadOnly | kAttrArchive,
                              kAttrHidden,
                              kAttrHidden | kAttrSystem | kAttrArchive,
                              kAttrReadOnly | kAttrHidden | kAttrSystem,
                              kAttrArchive};
    for (const uint16_t word : words) {
        ASSERT_TRUE(SetFileAttributes(file, word)) << word;
        EXPECT_EQ(Comparable(FileAttributes(file)), Comparable(word));
    }
}

TEST(PlatformFiles, AttributeWordOfFreshFileAndFolder) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("fresh.bin", "x");
    EXPECT_EQ(FileAttributes(file) & ~0x80, kAttrArchive);
    EXPECT_EQ(FileAttributes(folder.Path()) & (kAttrDirectory | kAttrReadOnly), kAttrDirectory);
}

#ifndef _WIN32
TEST(PlatformFiles, ReadOnlyIsTheOwnerWriteBit) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("ro.bin", "x");
    struct stat info {};
    ASSERT_TRUE(SetFileAttributes(file, kAttrReadOnly | kAttrHidden));
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & S_IWUSR, 0u);
    // The "delete working file" sequence: value minus 1, then former minus 2.
    ASSERT_TRUE(SetFileAttributes(file, kAttrArchive - 1));
    ASSERT_TRUE(SetFileAttributes(file, kAttrArchive - 2));
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
    EXPECT_TRUE(DeleteFile(file));
}

TEST(PlatformFiles, ReadOnlyFolderStaysWritable) {
    PlatformTempFolder folder;
    const std::string sub = folder.File("sub");
    ASSERT_TRUE(CreateFolder(sub));
    ASSERT_TRUE(SetFileAttributes(sub, kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(FileAttributes(sub), kAttrDirectory | kAttrReadOnly | kAttrHidden);
    struct stat info {};
    ASSERT_EQ(::stat(sub.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
}

// A POSIX name may hold "\\": the system's own paths are used as they are,
// and only archive names are turned into native ones.
TEST(PlatformFiles, BackslashIsAnOrdinaryCharacter) {
    PlatformTempFolder folder;
    const std::string odd = folder.Path() + "/odd\\name";
    ASSERT_TRUE(CreateFolder(odd));
    EXPECT_TRUE(FolderExists(odd));
    std::ofstream(odd + "/inner.txt") << "abc";
    EXPECT_EQ(FileSize(odd + "/inner.txt"), 3);
    EXPECT_FALSE(FolderExists(folder.File("odd")));
    EXPECT_GT(FreeBytes(odd), 0);
    EXPECT_EQ(NativePath("a\\b/c"), "a/b/c");
}
#endif

TEST(PlatformFiles, DosDateRoundTrips) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("dated.bin", "x");
    const LocalTime times[] = {{1980, 1, 1, 0, 0, 0},     {1999, 12, 31, 23, 59, 58},
                               {2024, 7, 15, 12, 30, 44}, {2024, 1, 15, 8, 5, 2},
                               {2037, 3, 1, 10, 0, 0},    {2099, 2, 28, 6, 7, 8}};
    for (const LocalTime& t : times) {
        const uint32_t dos = DosDateTimeFromLocal(t);
        ASSERT_TRUE(SetFileDosDateTime(file, dos)) << t.year;
        EXPECT_EQ(FileDosDateTime(file), dos) << t.year << "-" << t.month;
    }
}

TEST(PlatformFiles, UnreachableFileGivesTheFailureValues) {
    PlatformTempFolder folder;
    const std::string missing = folder.File("missing.bin");
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FolderExists(missing));
    EXPECT_EQ(FileSize(missing), -1);
    EXPECT_EQ(FileAttributes(missing), -1);
    EXPECT_EQ(FileDosDateTime(missing), 0u);
    EXPECT_FALSE(SetFileAttributes(missing, kAttrArchive));
    EXPECT_FALSE(SetFileDosDateTime(missing, DosDateTimeFromLocal({2000, 1, 1, 0, 0, 0})));
    EXPECT_FALSE(DeleteFile(missing));
    EXPECT_FALSE(MoveFile(missing, folder.File("b"), true));
    EXPECT_FALSE(CopyFile(missing, folder.File("b"), false));
    EXPECT_FALSE(FileExists(folder.File("b")));
}

TEST(PlatformFiles, FolderIsNotAFile) {
    PlatformTempFolder folder;
    EXPECT_FALSE(FileExists(folder.Path()));
    EXPECT_TRUE(FolderExists(folder.Path()));
    EXPECT_EQ(FileSize(folder.Path()), -1);
    EXPECT_FALSE(DeleteFile(folder.Path()));
}

TEST(PlatformFiles, CopyHonoursFailIfExistsAndKeepsTheDate) {
    PlatformTempFolder folder;
    const std::string source = folder.Write("src.bin", std::string(70000, 'q'));
    const std::string target = folder.Write("dst.bin", "old");
    const uint32_t dos = DosDateTimeFromLocal({2010, 5, 6, 7, 8, 10});
    ASSERT_TRUE(SetFileDosDateTime(source, dos));

    EXPECT_FALSE(CopyFile(source, target, true));
    EXPECT_EQ(PlatformTempFolder::Read(target), "old");
    ASSERT_TRUE(CopyFile(source, target, false));
    EXPECT_EQ(FileSize(target), 70000);
    EXPECT_EQ(FileDosDateTime(target), dos);
    ASSERT_TRUE(CopyFile(source, folder.File("new.bin"), true));
    EXPECT_EQ(PlatformTempFolder::Read(folder.File("new.bin")), std::string(70000, 'q'));
}

TEST(PlatformFiles, CopyOntoItselfLeavesTheFileWhole) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("self.bin", "contents");
    EXPECT_FALSE(CopyFile(file, file, false));
    EXPECT_EQ(PlatformTempFolder::Read(file), "contents");
}

TEST(PlatformFiles, MoveReplacesOnlyWhenAsked) {
    PlatformTempFolder folder;
    const std::string from = folder.Write("from.bin", "new");
    const std::string to = folder.Write("to.bin", "old");
    EXPECT_FALSE(MoveFile(from, to, false));
    EXPECT_EQ(PlatformTempFolder::Read(to), "old");
    EXPECT_TRUE(FileExists(from));
    ASSERT_TRUE(MoveFile(from, to, true));
    EXPECT_FALSE(FileExists(from));
    EXPECT_EQ(PlatformTempFolder::Read(to), "new");
    ASSERT_TRUE(MoveFile(to, folder.File("renamed.bin"), false));
    EXPECT_EQ(PlatformTempFolder::Read(folder.File("renamed.bin")), "new");
}

TEST(PlatformFiles, ReadOnlyFileIsKeptUntilTheAttributeIsCleared) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("keep.bin", "x");
    ASSERT_TRUE(SetFileAttributes(file, kAttrReadOnly));
    EXPECT_FALSE(DeleteFile(file));
    EXPECT_TRUE(FileExists(file));
    ASSERT_TRUE(SetFileAttributes(file, kAttrArchive));
    EXPECT_TRUE(DeleteFile(file));
    EXPECT_FALSE(FileExists(file));
}

TEST(PlatformFiles, SizesFreeSpaceAndFolders) {
    PlatformTempFolder folder;
    EXPECT_EQ(FileSize(folder.Write("empty.bin", "")), 0);
    EXPECT_EQ(FileSize(folder.Write("some.bin", std::string(12345, 'z'))), 12345);
    EXPECT_GT(FreeBytes(folder.Path()), 0);

    const std::string sub = folder.File("sub");
    EXPECT_TRUE(CreateFolder(sub));
    EXPECT_TRUE(CreateFolder(sub)) << "an existing folder counts";
    EXPECT_FALSE(CreateFolder(folder.File("no/such/parent")));
    EXPECT_FALSE(CreateFolder(folder.Write("plain.bin", "x")));
}

} // namespace
} // namespace qv::platform
