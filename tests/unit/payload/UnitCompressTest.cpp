#include "payload/UnitCompress.h"

#include "payload/ReplaceBatch.h"
#include "payload/WorkingFiles.h"

#include "tests/unit/TestSupport.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

#include <set>

namespace qv::payload {
namespace {

constexpr int64_t kBareSize = 3000;

// A folder with a stand-in "executable" (kBareSize bytes, then any payload)
// and a host that records what the module asked of the applet.
class UnitCompressTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder.File(name); }
    std::string Folder() const {
        const std::string path = Path("x");
        return path.substr(0, path.size() - 1);
    }

    void WriteExecutable(const std::string& payload = {}) {
        std::string bytes(kBareSize, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7);
        folder.Write("applet", bytes + payload);
    }

    // An archive of the named files (written into a scratch folder first).
    std::string Archive(const std::vector<std::pair<std::string, std::string>>& files,
                        uint8_t method = kMethodLH5) {
        test::PlatformTempFolder scratch;
        TStringList list;
        for (const auto& [name, contents] : files)
            list.push_back(scratch.Write(name, contents));
        TCompress compress;
        const std::string any = scratch.File("x");
        compress.SetTargetPath(any.substr(0, any.size() - 1));
        TMemoryStream out;
        compress.WriteArchive(&out, list, method);
        return std::string(out.Bytes().begin(), out.Bytes().end());
    }

    TPayloadHost Host(std::vector<std::string> switches) {
        TPayloadHost host;
        host.selfPath = Path("applet");
        host.folder = Folder();
        host.payloadOffset = kBareSize;
        host.hasSwitch = [switches](const std::string& text) {
            for (const std::string& s : switches)
                if (s == text) return true;
            return false;
        };
        host.workingFolderPath = [this](const std::string& name) { return Path(name); };
        host.deleteWorkingFile = [this](const std::string& name) {
            deletedByWindow.push_back(name);
            return platform::DeleteFile(Path(name));
        };
        host.processMessages = [] {};
        host.showLeftProgress = [this](int32_t percent) { progress.push_back(percent); };
        host.terminateApplication = [this] { ++terminations; };
        host.startBatch = [this](const std::string& batch, bool) {
            batches.push_back(batch);
            return true;
        };
        return host;
    }

    TMemberList MembersOf(const std::string& path, std::string* compressId = nullptr) {
        TFileStream stream(path, TFileStream::Mode::OpenRead);
        stream.Seek(kBareSize, SeekOrigin::Begin);
        TCompress compress;
        if (compressId != nullptr) {
            *compressId = compress.ReadArchiveHeader(&stream).CompressID;
            stream.Seek(kBareSize, SeekOrigin::Begin);
        }
        TMemberList members;
        compress.ListMembers(&stream, members);
        return members;
    }

    std::set<std::string> Names(const TMemberList& members) {
        std::set<std::string> names;
        for (const TMemberEntry& member : members)
            names.insert(member.Name);
        return names;
    }

    test::PlatformTempFolder folder;
    std::vector<std::string> deletedByWindow;
    std::vector<int32_t> progress;
    std::vector<std::string> batches;
    int terminations = 0;
};

TEST_F(UnitCompressTest, PackingWithLh5TakesThePresentFilesAndRemovesThem) {
    WriteExecutable();
    const test::Bytes text = test::TextLike(5000); // long enough for LH5 to pay off
    const std::string content(text.begin(), text.end());
    const test::Bytes engine = test::BinaryLike(40000);
    folder.Write(kContentFile, content);
    folder.Write(kEngineFile, std::string(engine.begin(), engine.end()));
    TCompressDataModule module(Host({kSwitchPackLh5}));
    EXPECT_TRUE(module.RunPayloadMode());
    EXPECT_EQ(terminations, 1);

    std::string id;
    const TMemberList members = MembersOf(Path(kNewAppletFile), &id);
    EXPECT_EQ(id, "LH5");
    EXPECT_EQ(Names(members), (std::set<std::string>{kContentFile, kEngineFile}));
    for (const TMemberEntry& member : members)
        EXPECT_EQ(member.Info.Method, kMethodLH5) << member.Name;
    EXPECT_FALSE(platform::FileExists(Path(kContentFile)));
    EXPECT_FALSE(platform::FileExists(Path(kEngineFile)));
    ASSERT_EQ(batches, std::vector<std::string>{Path(kBatchFile)});
    EXPECT_EQ(test::PlatformTempFolder::Read(Path(kBatchFile)),
              ReplaceBatchText({Folder(), Path("applet"), Path(kNewAppletFile), Path(kBatchFile)}));
    // The new applet begins with the bare executable.
    const std::string applet = test::PlatformTempFolder::Read(Path(kNewAppletFile));
    const std::string self = test::PlatformTempFolder::Read(Path("applet"));
    EXPECT_EQ(applet.substr(0, kBareSize), self);
}

TEST_F(UnitCompressTest, PackingWithoutTheImageLeavesItAlone) {
    WriteExecutable();
    folder.Write(kContentFile, "[TITLE]");
    folder.Write(kDiscImageFile, std::string(5000, 'i'));
    folder.Write(kCarriedAspiFile, "aspi");
    TCompressDataModule module(Host({kSwitchPackWithoutImage}));
    module.RunPayloadMode();
    EXPECT_EQ(Names(MembersOf(Path(kNewAppletFile))),
              (std::set<std::string>{kCarriedAspiFile, kContentFile}));
    EXPECT_TRUE(platform::FileExists(Path(kDiscImageFile)));
    EXPECT_FALSE(platform::FileExists(Path(kCarriedAspiFile)));
}

TEST_F(UnitCompressTest, PackingWithTheAlternativeMethodWritesRle) {
    WriteExecutable();
    folder.Write(kContentFile, std::string(3000, 'a'));
    folder.Write(kEngineFile, "xyz");
    folder.Write(kCarriedAspiFile, "aspi");
    folder.Write(kDiscImageFile, std::string(100, 'b'));
    TCompressDataModule module(Host({kSwitchPackRle}));
    module.RunPayloadMode();
    std::string id;
    const TMemberList members = MembersOf(Path(kNewAppletFile), &id);
    EXPECT_EQ(id, "RLE");
    ASSERT_EQ(members.size(), 4u);
    EXPECT_EQ(members[1].Info.Method, kMethodRLE); // the long run codes
    // All but the last two went through the window's deletion first.
    EXPECT_EQ(deletedByWindow, (std::vector<std::string>{kCarriedAspiFile, kContentFile}));
}

TEST_F(UnitCompressTest, PackingDropsThePayloadTheExecutableCarries) {
    WriteExecutable(Archive({{kContentFile, "old title"}, {"extra.txt", "old"}}));
    folder.Write(kContentFile, "new title");
    TCompressDataModule module(Host({kSwitchPackLh5}));
    module.RunPayloadMode();
    EXPECT_EQ(Names(MembersOf(Path(kNewAppletFile))), std::set<std::string>{kContentFile});
    folder.Write("applet", test::PlatformTempFolder::Read(Path(kNewAppletFile)));
    TCompressDataModule spawned(Host({kSwitchSpawn}));
    platform::DeleteFile(Path(kContentFile));
    spawned.RunPayloadMode();
    EXPECT_EQ(test::PlatformTempFolder::Read(Path(kContentFile)), "new title");
}

TEST_F(UnitCompressTest, AFailedPackingLosesNoSourceAndLeavesNoApplet) {
    WriteExecutable();
    folder.Write(kContentFile, "[TITLE]");
    folder.Write(kEngineFile, "engine");
    // A folder where the new applet should go: it cannot be written.
    ASSERT_TRUE(platform::CreateFolder(Path(kNewAppletFile)));
    TCompressDataModule module(Host({kSwitchPackLh5}));
    EXPECT_TRUE(module.RunPayloadMode());
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(platform::FileExists(Path(kContentFile)));
    EXPECT_TRUE(platform::FileExists(Path(kEngineFile)));
    EXPECT_TRUE(batches.empty());
    EXPECT_TRUE(deletedByWindow.empty());
}

TEST_F(UnitCompressTest, AFailedPackingHandsOverToTheSpawnMode) {
    WriteExecutable(Archive({{"MqvT-01.mp3", "track"}}));
    folder.Write(kContentFile, "[TITLE]");
    ASSERT_TRUE(platform::CreateFolder(Path(kNewAppletFile)));
    TCompressDataModule module(Host({kSwitchPackLh5, kSwitchSpawn}));
    module.RunPayloadMode();
    EXPECT_EQ(test::PlatformTempFolder::Read(Path("MqvT-01.mp3")), "track");
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(module.SelfStreamOpen());
}

TEST_F(UnitCompressTest, SpawnWritesEveryMemberWithProgress) {
    WriteExecutable(Archive(
        {{kContentFile, "t"}, {kDiscImageFile, std::string(20000, 'd')}, {"MqvT-02.mp3", "song"}}));
    TCompressDataModule module(Host({"/SPAWNQV00#13/#10", kSwitchSpawn}));
    EXPECT_TRUE(module.RunPayloadMode());
    EXPECT_EQ(test::PlatformTempFolder::Read(Path(kDiscImageFile)), std::string(20000, 'd'));
    EXPECT_EQ(test::PlatformTempFolder::Read(Path("MqvT-02.mp3")), "song");
    EXPECT_TRUE(platform::FileExists(Path(kContentFile)));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
}

TEST_F(UnitCompressTest, EmptyModeWritesTheBareExecutable) {
    WriteExecutable(Archive({{kContentFile, "t"}}));
    TCompressDataModule module(Host({kSwitchEmpty}));
    module.RunPayloadMode();
    EXPECT_EQ(platform::FileSize(Path(kNewAppletFile)), kBareSize);
    EXPECT_EQ(batches.size(), 1u);
    EXPECT_EQ(terminations, 1);
}

TEST_F(UnitCompressTest, EmptyModeOnABareExecutableWritesNothing) {
    WriteExecutable();
    TCompressDataModule module(Host({kSwitchEmpty}));
    module.RunPayloadMode();
    EXPECT_FALSE(platform::FileExists(Path(kNewAppletFile)));
    EXPECT_TRUE(batches.empty());
}

TEST_F(UnitCompressTest, NoSwitchNoMode) {
    WriteExecutable();
    folder.Write(kContentFile, "t");
    TCompressDataModule module(Host({"/max", "/spawnqv00"}));
    EXPECT_FALSE(module.RunPayloadMode());
    EXPECT_TRUE(platform::FileExists(Path(kContentFile)));
    EXPECT_EQ(terminations, 0);
}

TEST_F(UnitCompressTest, RunFilesAreLookedUpWithoutRegardToCase) {
    WriteExecutable(Archive({{"QVORIG.QV", "[TITLE]"}, {kEngineFile, "engine"}}));
    TCompressDataModule module(Host({}));
    EXPECT_TRUE(module.PayloadContains("qvorig.qv"));
    EXPECT_FALSE(module.PayloadContains(kCarriedAspiFile));
    EXPECT_TRUE(module.ExtractRunFiles()); // no "mqv2k.qv": skipped silently
    EXPECT_EQ(test::PlatformTempFolder::Read(Path(kContentFile)), "[TITLE]");
    EXPECT_EQ(platform::FileAttributes(Path(kEngineFile)) & platform::kAttrHidden,
              platform::kAttrHidden);
    EXPECT_FALSE(platform::FileExists(Path(kCarriedAspiFile)));
}

TEST_F(UnitCompressTest, RunFilesNeedAPayload) {
    WriteExecutable();
    folder.Write(kContentFile, "left over");
    TCompressDataModule module(Host({}));
    EXPECT_FALSE(module.ExtractRunFiles());
    EXPECT_TRUE(platform::FileExists(Path(kContentFile))); // not touched
}

TEST_F(UnitCompressTest, ADamagedPayloadFailsTheRunExtraction) {
    WriteExecutable("KWRX\x1A" + std::string(100, 'z'));
    TCompressDataModule module(Host({}));
    EXPECT_FALSE(module.ExtractRunFiles());
    EXPECT_THROW(module.ExtractMember(kDiscImageFile), std::exception);
}

TEST_F(UnitCompressTest, ProgressStaysOffWhilePacking) {
    WriteExecutable(Archive({{kContentFile, "t"}}));
    TCompressDataModule module(Host({kSwitchPackRle}));
    int32_t percent = 50;
    module.ShowSpawnProgress(percent);
    EXPECT_TRUE(progress.empty());
    TCompressDataModule running(Host({}));
    running.ShowSpawnProgress(percent);
    EXPECT_EQ(progress, std::vector<int32_t>{50});
}

TEST(ReplaceBatchTest, TheTwelveWindowsLines) {
    const ReplaceBatchPaths paths{"C:\\Pub\\", "C:\\Pub\\setup.exe", "C:\\Pub\\qv1e.qv",
                                  "C:\\Pub\\qv1e.bat"};
    EXPECT_EQ(WindowsReplaceBatch(paths), "@echo off\r\n"
                                          "cd \"C:\\Pub\\\"\r\n"
                                          ":try1\r\n"
                                          "del \"C:\\Pub\\setup.exe\"\r\n"
                                          "if exist \"C:\\Pub\\setup.exe\" goto try1\r\n"
                                          ":try2\r\n"
                                          "move \"C:\\Pub\\qv1e.qv\" \"Applet.exe\"\r\n"
                                          "if exist \"C:\\Pub\\qv1e.qv\" goto try2\r\n"
                                          ":try3\r\n"
                                          "del \"C:\\Pub\\qv1e.bat\"\r\n"
                                          "if exist \"C:\\Pub\\qv1e.bat\" goto try3\r\n"
                                          "exit\r\n");
}

TEST(ReplaceBatchTest, ShellScriptQuotesEveryPath) {
    const ReplaceBatchPaths paths{"/tmp/it's here/", "/tmp/it's here/a$b", "/tmp/it's here/qv1e.qv",
                                  "/tmp/it's here/qv1e.bat"};
    const std::string script = PosixReplaceScript(paths);
    EXPECT_NE(script.find("cd '/tmp/it'\\''s here' || exit 1"), std::string::npos);
    EXPECT_NE(script.find("rm -f '/tmp/it'\\''s here/a$b'"), std::string::npos);
    EXPECT_NE(script.find("mv -f '/tmp/it'\\''s here/qv1e.qv' 'Applet.exe'"), std::string::npos);
    EXPECT_NE(script.find("chmod +x 'Applet.exe'"), std::string::npos);
}

} // namespace
} // namespace qv::payload
