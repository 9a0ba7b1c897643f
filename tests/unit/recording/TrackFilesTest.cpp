#include "engine/EngineHarness.h"
#include "platform/Files.h"
#include "recording/UnitBurn.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

// The track list keeps plain and hidden "MqvT-*.mp3" files only, in
// case-insensitive order: read-only, archive and system files, folders and
// other names are left out.
TEST(FindTrackFiles, KeepsPlainAndHiddenTracksInCaseInsensitiveOrder) {
    ScratchFolder scratch;
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
        WriteText(scratch.file(entry.name), "track");
        if (!platform::SetFileAttributes(scratch.file(entry.name), entry.attributes))
            GTEST_SKIP() << "this file system keeps no attribute word";
    }
    std::filesystem::create_directory(scratch.file("MqvT-g.mp3"));

    const std::string folder =
        scratch.path() + std::string(1, std::filesystem::path::preferred_separator);
    EXPECT_EQ(recording::FindTrackFiles(folder),
              (std::vector<std::string>{"mqvt-A.MP3", "MqvT-b.mp3"}));
}

TEST(FindTrackFiles, MissingFolderGivesNoTracks) {
    EXPECT_TRUE(recording::FindTrackFiles("/no/such/folder/").empty());
}

} // namespace
} // namespace qv::test
