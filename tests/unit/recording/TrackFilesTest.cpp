#include "platform/Files.h"
#include "recording/UnitBurn.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

// The track list keeps plain and hidden "MqvT-*.mp3" files only, in
// case-insensitive order: read-only, archive and system files, folders and
// other names are left out.
TEST(FindTrackFiles, KeepsPlainAndHiddenTracksInCaseInsensitiveOrder) {
    PlatformTempFolder scratch;
    struct Entry {
        const char* name;
        uint16_t attributes;
    };
    const Entry entries[] = {
        {"MqvT-b.mp3", 0},
        {"mqvt-A.MP3", platform::kAttrHidden},
        {"MqvT-c.mp3", platform::kAttrReadOnly},
        {"MqvT-d.mp3", platform::kAttrArchive},
        {"MqvT-e.mp3", platform::kAttrSystem},
        {"Other.mp3", 0},
        {"MqvT-f.wav", 0},
    };
    for (const Entry& entry : entries) {
        scratch.Write(entry.name, "track");
        const std::string path = scratch.File(entry.name);
        // Wine, for one, reports every plain file as archived.
        if (!platform::SetFileAttributes(path, entry.attributes) ||
            (platform::FileAttributes(path) & ~platform::kAttrNormal) != entry.attributes)
            GTEST_SKIP() << "this file system does not keep the attribute word as set";
    }
    std::filesystem::create_directory(scratch.File("MqvT-g.mp3"));

    const std::string folder =
        scratch.Path() + std::string(1, std::filesystem::path::preferred_separator);
    EXPECT_EQ(recording::FindTrackFiles(folder),
              (std::vector<std::string>{"mqvt-A.MP3", "MqvT-b.mp3"}));
}

TEST(FindTrackFiles, MissingFolderGivesNoTracks) {
    EXPECT_TRUE(recording::FindTrackFiles("/no/such/folder/").empty());
}

} // namespace
} // namespace qv::test
