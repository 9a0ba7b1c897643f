// The engine through its C ABI, loaded the way the applet loads it.

#include "recording/CdRwLibE.h"
#include "tests/unit/engine/EngineHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

namespace qv::test {
namespace {

using recording::EngineEntries;

constexpr const char* kConfigVariable = "CDRWLIB_CONFIG";
constexpr const char* kDataVariable =
#ifdef _WIN32
    "LOCALAPPDATA";
#else
    "XDG_DATA_HOME";
#endif

// The engine's default disc goes to the user's data folder: the folder is
// moved for the guard's life, and put back however the test ends.
class DataFolderAt {
public:
    explicit DataFolderAt(const std::string& folder) {
        const char* saved = std::getenv(kDataVariable);
        saved_ = saved != nullptr ? saved : "";
        SetEnvironment(kDataVariable, folder);
    }
    ~DataFolderAt() { SetEnvironment(kDataVariable, saved_); }
    DataFolderAt(const DataFolderAt&) = delete;
    DataFolderAt& operator=(const DataFolderAt&) = delete;

private:
    std::string saved_;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 7 + i / 2048) & 0xFF);
    return bytes;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        recording::SetEngineFolder(BuiltEngineDir());
        disc_ = scratch_.file("disc.img");
    }
    void TearDown() override {
        recording::FreeEngine();
        SetEnvironment(kConfigVariable, "");
    }

    // Points the engine at a configuration whose disc lies in the scratch
    // folder, and loads it.
    void configure(const std::string& lines) {
        const std::string path = scratch_.file("engine.cfg");
        WriteText(path, "disc = " + disc_ + "\ntime_scale = 0\n" + lines + "\n");
        SetEnvironment(kConfigVariable, path);
        ASSERT_TRUE(recording::LoadEngine());
    }
    void startAt(uint8_t adapter, uint8_t target) {
        ASSERT_EQ(EngineEntries.Start(adapter, target, 0, 4, 8192), CDRW_SUCCESS);
    }
    void configureAndStart(const std::string& lines) {
        configure(lines);
        startAt(1, 0);
    }
    // The libburn back end on a pseudo-drive whose file is the disc.
    void startLibburn(const std::string& lines) {
        const std::string path = scratch_.file("engine.cfg");
        WriteText(path, "backend = libburn\ndevice = stdio:" + disc_ + "\n" + lines + "\n");
        SetEnvironment(kConfigVariable, path);
        ASSERT_TRUE(recording::LoadEngine());
        // As the applet finds it (and as the leak suppression names it).
        uint8_t adapter = 0, target = 0, lun = 0;
        ASSERT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_SUCCESS);
    }

    std::string image(size_t size) {
        const std::string path = scratch_.file("image.iso");
        WriteBytes(path, Pattern(size));
        return path;
    }
    int32_t write(const BurnJob& job, uint32_t testFlag = 0) {
        return EngineEntries.WriteCdDataTao(&job, 100, event_.handle(), testFlag);
    }
    int32_t writeImage(size_t size, uint32_t testFlag = 0) {
        return write(OneEntryJob(image(size), size), testFlag);
    }

    // Each requested write speed and the current one then reported, with
    // 1411 the highest offered.
    void expectWriteSpeeds(std::initializer_list<std::pair<uint16_t, uint16_t>> speeds) {
        for (const auto& [requested, expected] : speeds) {
            ASSERT_EQ(EngineEntries.SetCdSpeeds(7056, requested), CDRW_SUCCESS);
            uint16_t read = 0, current = 0, highestRead = 0, highest = 0;
            ASSERT_EQ(EngineEntries.GetCdSpeeds(&read, &current, &highestRead, &highest),
                      CDRW_SUCCESS);
            EXPECT_EQ(read, 7056);
            EXPECT_EQ(current, expected) << "requested " << requested;
            EXPECT_EQ(highest, 1411);
        }
    }

    int32_t discFlags(uint32_t& blank, uint32_t& rewritable, uint32_t& ready) {
        return EngineEntries.IsDiscBlank(&blank, &rewritable, &ready);
    }

    ScratchFolder scratch_;
    std::string disc_;
    ProgressEvent event_;
};

class EngineFaultTest : public EngineTest {
public:
    // Exposed for the table's calls.
    using EngineTest::discFlags;
    using EngineTest::writeImage;
};

struct FaultCase {
    const char* name;
    const char* config;
    std::function<int32_t(EngineFaultTest&)> call;
    int32_t expected;
};

TEST_F(EngineFaultTest, EveryConfiguredFaultGivesItsStatus) {
    const auto findRecorder = [](EngineFaultTest&) {
        uint8_t adapter = 9, target = 9, lun = 0;
        return recording::FindRecorder(adapter, target, lun, 4, 8192);
    };
    const auto started = [](std::function<int32_t()> call) {
        return [call](EngineFaultTest&) {
            EngineEntries.Start(1, 0, 0, 4, 8192);
            return call();
        };
    };
    const FaultCase cases[] = {
        {"no drive", "drive = 0", findRecorder, CDRW_NOT_PRESENT},
        {"drive elsewhere", "adapter = 2", started([] { return EngineEntries.IsDeviceReady(); }),
         CDRW_NOT_STARTED},
        {"tray empty, ready", "inserted = 0", started([] { return EngineEntries.IsDeviceReady(); }),
         CDRW_TIMEOUT},
        {"tray empty, disc", "inserted = 0",
         [](EngineFaultTest& t) {
             EngineEntries.Start(1, 0, 0, 4, 8192);
             uint32_t blank, rewritable, ready;
             return t.discFlags(blank, rewritable, ready);
         },
         CDRW_NO_BLANK_DISC},
        {"erase of a CD-R", "", started([] { return EngineEntries.BlankDisc(1); }),
         CDRW_FEATURE_NOT_SUPPORTED},
        {"erase fails", "rewritable = 1\nerase_status = 14",
         started([] { return EngineEntries.BlankDisc(1); }), CDRW_BAD_RESPONSE},
        {"no underrun protection", "underrun_protection = 0",
         started([] { return EngineEntries.BurnProofControl(-1); }), CDRW_FEATURE_NOT_SUPPORTED},
        {"speed list fails", "get_speeds_status = 14", started([] {
             uint16_t a, b, c, d;
             return EngineEntries.GetCdSpeeds(&a, &b, &c, &d);
         }),
         CDRW_BAD_RESPONSE},
        {"speed setting fails", "set_speeds_status = 17",
         started([] { return EngineEntries.SetCdSpeeds(7056, 1411); }), CDRW_SYNC_FAILED},
        {"vendor strings fail", "vendor_status = 2", started([] {
             char vendor[CDRW_TEXT_BUFFER_SIZE], product[CDRW_TEXT_BUFFER_SIZE];
             return EngineEntries.GetVendorProductStrings(vendor, product);
         }),
         CDRW_GENERAL_FAILURE},
        {"write modes fail", "write_modes_status = 14", started([] {
             uint32_t a, b, c;
             return EngineEntries.GetSupportedWriteModes(&a, &b, &c);
         }),
         CDRW_BAD_RESPONSE},
        {"no track-at-once", "tao = 0",
         [](EngineFaultTest& t) {
             EngineEntries.Start(1, 0, 0, 4, 8192);
             return t.writeImage(4096);
         },
         CDRW_UNSUPPORTED_WRITE_MODE},
        {"write fails at a sector", "write_fail_sector = 5\nwrite_fail_status = 14",
         [](EngineFaultTest& t) {
             EngineEntries.Start(1, 0, 0, 4, 8192);
             return t.writeImage(20 * 2048);
         },
         CDRW_BAD_RESPONSE},
        {"verify catches a changed byte", "changed_byte = 5000",
         [](EngineFaultTest& t) {
             EngineEntries.Start(1, 0, 0, 4, 8192);
             return t.writeImage(20 * 2048);
         },
         CDRW_BAD_RESPONSE},
        {"without verify the changed byte passes", "changed_byte = 5000\nverify = 0",
         [](EngineFaultTest& t) {
             EngineEntries.Start(1, 0, 0, 4, 8192);
             return t.writeImage(20 * 2048);
         },
         CDRW_SUCCESS},
        {"disc too small", "capacity = 10",
         [](EngineFaultTest& t) {
             EngineEntries.Start(1, 0, 0, 4, 8192);
             return t.writeImage(11 * 2048);
         },
         CDRW_DISC_TOO_SMALL},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.config);
        EXPECT_EQ(c.call(*this), c.expected);
        recording::FreeEngine();
        std::filesystem::remove(disc_);
    }
}

TEST_F(EngineTest, WithoutAConfigurationOnlyRealDrivesAnswer) {
#ifndef _WIN32
    if (std::filesystem::exists("/dev/sr0")) GTEST_SKIP() << "this PC has an optical drive";
#endif
    const DataFolderAt dataFolder(scratch_.path());
    SetEnvironment(kConfigVariable, "");
    ASSERT_TRUE(recording::LoadEngine());
    uint8_t adapter = 0, target = 0, lun = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(recording::FindRecorder(adapter, target, lun, 4, 8192), CDRW_NOT_PRESENT);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(scratch_.file("CdRwLib"))) << "no virtual disc made";
}

TEST_F(EngineTest, RecorderAnswersOnlyAtItsConfiguredAddress) {
    configure("adapter = 3\ntarget = 5");
    uint8_t adapter = 0, target = 0, lun = 0;
    EXPECT_EQ(recording::FindRecorder(adapter, target, lun, 2, 8192), CDRW_SUCCESS);
    EXPECT_EQ(adapter, 3);
    EXPECT_EQ(target, 5);
    EXPECT_EQ(EngineEntries.Start(3, 5, 1, 2, 8192), CDRW_NOT_PRESENT) << "logical unit 1";
}

TEST_F(EngineTest, NotReadyForTheConfiguredCallsAfterStartAndLoad) {
    configureAndStart("not_ready_calls = 2");
    EXPECT_EQ(EngineEntries.IsDeviceReady(), CDRW_TIMEOUT);
    EXPECT_EQ(EngineEntries.IsDeviceReady(), CDRW_TIMEOUT);
    EXPECT_EQ(EngineEntries.IsDeviceReady(), CDRW_SUCCESS);
    EngineEntries.Load();
    EXPECT_EQ(EngineEntries.IsDeviceReady(), CDRW_TIMEOUT);
}

TEST_F(EngineTest, ReportsTheDeviceAndClampsSpeedsToWhatItOffers) {
    configureAndStart("vendor = ACME\nproduct = CDRW-1\nsao = 0\nwrite_speeds = 353,706,1411");
    char vendor[CDRW_TEXT_BUFFER_SIZE], product[CDRW_TEXT_BUFFER_SIZE];
    ASSERT_EQ(EngineEntries.GetVendorProductStrings(vendor, product), CDRW_SUCCESS);
    EXPECT_STREQ(vendor, "ACME");
    EXPECT_STREQ(product, "CDRW-1");

    uint32_t tao = 0, sao = 1, dao = 0;
    ASSERT_EQ(EngineEntries.GetSupportedWriteModes(&tao, &sao, &dao), CDRW_SUCCESS);
    EXPECT_EQ(tao, 1u);
    EXPECT_EQ(sao, 0u);
    EXPECT_EQ(dao, 1u);
    EXPECT_EQ(EngineEntries.BurnProofControl(-1), CDRW_SUCCESS);

    expectWriteSpeeds({{2117, 1411}, {1000, 706}, {176, 353}, {0, 353}});
}

TEST_F(EngineTest, WritesTheImageAndSignalsEveryHundredSectors) {
    // Paced (1,000 sectors at 12x take a second) so that the counter on
    // Windows, which resets a manual-reset event, sees each signal apart.
    configureAndStart("time_scale = 1");
    const size_t size = 2048000;
    EXPECT_EQ(writeImage(size), CDRW_SUCCESS);
    EXPECT_EQ(event_.signals(), 10u);
    EXPECT_EQ(ReadBytes(disc_), Pattern(size));

    uint32_t blank = 1, rewritable = 1, ready = 0;
    ASSERT_EQ(discFlags(blank, rewritable, ready), CDRW_SUCCESS);
    EXPECT_EQ(blank, 0u);
    EXPECT_EQ(rewritable, 0u);
    EXPECT_EQ(ready, 1u);
}

TEST_F(EngineTest, TestFlagGoesThroughTheMotionsAndLeavesTheDiscAlone) {
    configureAndStart("time_scale = 1");
    EXPECT_EQ(writeImage(300 * 2048, 0xFFFFFFFFu), CDRW_SUCCESS);
    EXPECT_EQ(event_.signals(), 3u);
    EXPECT_FALSE(std::filesystem::exists(disc_));
}

TEST_F(EngineTest, WriteToAWrittenCdrFailsAndKeepsTheDisc) {
    WriteBytes(disc_, Pattern(4096));
    configureAndStart("");
    EXPECT_EQ(writeImage(8192), CDRW_NO_BLANK_DISC);
    EXPECT_EQ(ReadBytes(disc_), Pattern(4096));
}

TEST_F(EngineTest, EraseMakesARewritableDiscBlank) {
    WriteBytes(disc_, Pattern(4096));
    configureAndStart("rewritable = 1\nerase_busy_calls = 1");
    uint32_t blank = 1, rewritable = 0, ready = 0;
    ASSERT_EQ(discFlags(blank, rewritable, ready), CDRW_SUCCESS);
    EXPECT_EQ(blank, 0u);
    EXPECT_EQ(rewritable, 1u);

    ASSERT_EQ(EngineEntries.BlankDisc(1), CDRW_SUCCESS);
    ASSERT_EQ(discFlags(blank, rewritable, ready), CDRW_SUCCESS);
    EXPECT_EQ(ready, 0u) << "busy right after the erase";
    ASSERT_EQ(discFlags(blank, rewritable, ready), CDRW_SUCCESS);
    EXPECT_EQ(blank, 1u);
    EXPECT_EQ(ready, 1u);
}

TEST_F(EngineTest, UnloadEjectsUntilLoadAndAnotherDiscIsSeen) {
    WriteBytes(disc_, Pattern(4096));
    configureAndStart("");
    EXPECT_EQ(EngineEntries.Unload(), CDRW_SUCCESS);
    uint32_t blank = 0, rewritable = 0, ready = 0;
    EXPECT_EQ(discFlags(blank, rewritable, ready), CDRW_NO_BLANK_DISC);
    EXPECT_EQ(EngineEntries.IsDeviceReady(), CDRW_TIMEOUT);

    // The user swaps the written disc for a blank one and closes the tray.
    std::filesystem::remove(disc_);
    EXPECT_EQ(EngineEntries.Load(), CDRW_SUCCESS);
    ASSERT_EQ(discFlags(blank, rewritable, ready), CDRW_SUCCESS);
    EXPECT_EQ(blank, 1u);
    EXPECT_EQ(EngineEntries.IsDeviceReady(), CDRW_SUCCESS);
}

TEST_F(EngineTest, UnloadFromAnotherThreadStopsTheWriteQuickly) {
    // 1,000 sectors at single speed would take about 13 seconds.
    configureAndStart("time_scale = 1\nwrite_speeds = 176");
    const BurnJob job = OneEntryJob(image(2048000), 2048000);
    auto writing = std::async(std::launch::async, [&] { return write(job); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto unloadTime = std::chrono::steady_clock::now();
    EXPECT_EQ(EngineEntries.Unload(), CDRW_SUCCESS);
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    const auto stopDelay = std::chrono::steady_clock::now() - unloadTime;
    EXPECT_EQ(writing.get(), CDRW_TERMINATED);
    EXPECT_LT(stopDelay, std::chrono::milliseconds(500));

    const auto sizeAtReturn = std::filesystem::file_size(disc_);
    EXPECT_GT(sizeAtReturn, 0u);
    EXPECT_LT(sizeAtReturn, 2048000u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(std::filesystem::file_size(disc_), sizeAtReturn) << "no write after the return";
}

#ifdef __linux__
TEST_F(EngineTest, LibburnWriteFailingMidwayEndsAfterLibburnAndSignalsOnlyWhatWasWritten) {
    startLibburn("time_scale = 0");
    const BurnJob job = OneEntryJob(image(2048000), 2048000);
    // The disc file may not grow past 128 sectors: libburn's write fails there.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 128 * CDRW_SECTOR_SIZE;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const int32_t status = write(job);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(status, CDRW_BAD_RESPONSE);
    EXPECT_LE(event_.signals(), 1u) << "a signal every 100 sectors, 128 written";
}

TEST_F(EngineTest, LibburnPseudoDriveReportsTheOfferedSpeedSetWithZeroTheHighest) {
    startLibburn("write_speeds = 353,706,1411");
    expectWriteSpeeds({{2117, 1411}, {1000, 706}, {176, 353}, {0, 1411}});
}

TEST_F(EngineTest, LibburnWriteCalledAfterACancelReportsTheCancel) {
    startLibburn("time_scale = 0");
    EXPECT_EQ(EngineEntries.Unload(), CDRW_SUCCESS);
    EXPECT_EQ(writeImage(8192), CDRW_TERMINATED);
    EXPECT_FALSE(std::filesystem::exists(disc_));
}

TEST_F(EngineTest, LibburnUnloadDuringTheReadBackAnswersAtOnceAndEndsTheWrite) {
    // Written at 40x in a third of a second, read back at 1x in 13 s.
    startLibburn("time_scale = 1\nwrite_speeds = 7056\nread_speed = 176");
    const BurnJob job = OneEntryJob(image(2048000), 2048000);
    auto writing = std::async(std::launch::async, [&] { return write(job); });
    const auto written = [this] {
        return std::filesystem::exists(disc_) && std::filesystem::file_size(disc_) >= 2048000;
    };
    while (!written() &&
           writing.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const auto unloadTime = std::chrono::steady_clock::now();
    EXPECT_EQ(EngineEntries.Unload(), CDRW_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - unloadTime, std::chrono::milliseconds(100));
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(writing.get(), CDRW_TERMINATED);
}
#endif

#ifdef _WIN32
// The burning-service back end against the stand-in service, registered for
// the fixture's life under the service's program identifiers (among the
// machine's classes: Wine does not look up a user's own).
class ServiceTest : public EngineTest {
public:
    using EngineTest::disc_;
    using EngineTest::discFlags;
    using EngineTest::writeImage;

protected:
    void SetUp() override {
        EngineTest::SetUp();
        const std::string standIn = BuiltEngineDir() + "/../tests/win32/qvimapi2standin.dll";
        if (!std::filesystem::exists(standIn)) GTEST_SKIP() << "no stand-in service built";
        for (const auto& [name, id] : kClasses) {
            setValue(std::wstring(kClassesKey) + name + L"\\CLSID", id);
            const std::wstring server =
                std::wstring(kClassesKey) + L"CLSID\\" + id + L"\\InprocServer32";
            setValue(server, std::filesystem::path(standIn).wstring());
            setValue(server, L"Apartment", L"ThreadingModel");
        }
        standInConfig_ = scratch_.file("standin.ini");
        SetEnvironment("QV_IMAPI2_STANDIN", standInConfig_);
    }
    void TearDown() override {
        EngineTest::TearDown();
        for (const auto& [name, id] : kClasses) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(kClassesKey) + name).c_str());
            RegDeleteTreeW(HKEY_CLASSES_ROOT,
                           (std::wstring(kClassesKey) + L"CLSID\\" + id).c_str());
        }
        SetEnvironment("QV_IMAPI2_STANDIN", "");
    }
    // The stand-in's drive, then the engine started on it as the applet finds it.
    int32_t startService(const std::string& standInLines) {
        WriteText(standInConfig_, "disc = " + disc_ + "\n" + standInLines + "\n");
        const std::string config = scratch_.file("engine.cfg");
        WriteText(config, "backend = imapi2\n");
        SetEnvironment(kConfigVariable, config);
        if (!recording::LoadEngine()) return CDRW_DLL_LOAD_FAILED;
        uint8_t adapter = 9, target = 9, lun = 0;
        return recording::FindRecorder(adapter, target, lun, 4, 8192);
    }

private:
    static constexpr const wchar_t* kClassesKey = L"";
    static constexpr std::pair<const wchar_t*, const wchar_t*> kClasses[] = {
        {L"IMAPI2.MsftDiscMaster2", L"{5C1D6E3A-9B2F-4E07-A1D4-3F0B8C2E7A10}"},
        {L"IMAPI2.MsftDiscRecorder2", L"{5C1D6E3A-9B2F-4E07-A1D4-3F0B8C2E7A11}"},
        {L"IMAPI2.MsftDiscFormat2Data", L"{5C1D6E3A-9B2F-4E07-A1D4-3F0B8C2E7A12}"},
        {L"IMAPI2.MsftDiscFormat2Erase", L"{5C1D6E3A-9B2F-4E07-A1D4-3F0B8C2E7A13}"},
    };
    static void setValue(const std::wstring& key, const std::wstring& value,
                         const wchar_t* name = nullptr) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &handle, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }

    std::string standInConfig_;
};

struct ServiceCase {
    const char* name;
    const char* standIn; // the stand-in drive's lines
    std::function<int32_t(ServiceTest&)> call;
    int32_t expected;
    uint32_t blank = 2, rewritable = 2; // IsDiscBlank's flags, when checked
};

TEST_F(ServiceTest, TheServicesAnswersGiveTheEnginesStatuses) {
    uint32_t blank = 2, rewritable = 2;
    const auto flags = [&](ServiceTest& t) {
        uint32_t ready = 0;
        blank = rewritable = 2;
        return t.discFlags(blank, rewritable, ready);
    };
    const auto used = [](ServiceTest& t) {
        WriteBytes(t.disc_, Pattern(4096));
        return CDRW_SUCCESS;
    };
    const auto then = [](auto first, auto second) {
        return [=](ServiceTest& t) { return first(t) == CDRW_SUCCESS ? second(t) : -1; };
    };
    const auto ready = [](ServiceTest&) { return EngineEntries.IsDeviceReady(); };
    const auto erase = [](ServiceTest&) { return EngineEntries.BlankDisc(1); };
    const ServiceCase cases[] = {
        {"blank CD-R", "", flags, CDRW_SUCCESS, 1, 0},
        {"blank CD-RW", "media = cdrw", flags, CDRW_SUCCESS, 1, 1},
        {"used CD-RW: the erase question", "media = cdrw", then(used, flags), CDRW_SUCCESS, 0, 1},
        {"used CD-R", "", then(used, flags), CDRW_SUCCESS, 0, 0},
        {"blank DVD: not blank", "media = dvd", flags, CDRW_SUCCESS, 0, 0},
        {"CD-ROM: not blank", "media = cdrom", flags, CDRW_SUCCESS, 0, 0},
        {"no medium", "inserted = 0", flags, CDRW_NO_BLANK_DISC},
        {"unknown medium: none", "media = unknown", flags, CDRW_NO_BLANK_DISC},
        {"no medium, ready", "inserted = 0", ready, CDRW_TIMEOUT},
        {"busy drive", "busy = 1", ready, CDRW_TIMEOUT},
        {"erase of a CD-R", "", then(used, erase), CDRW_FEATURE_NOT_SUPPORTED},
        {"test write: no simulation", "", [](ServiceTest& t) { return t.writeImage(4096, ~0u); },
         CDRW_FEATURE_NOT_SUPPORTED},
        {"write fails at a sector", "write_fail_sector = 5",
         [](ServiceTest& t) { return t.writeImage(20 * 2048); }, CDRW_BAD_RESPONSE},
        {"write to a used CD-R", "", then(used, [](ServiceTest& t) { return t.writeImage(4096); }),
         CDRW_NO_BLANK_DISC},
        {"audio", "",
         [](ServiceTest&) { return EngineEntries.WriteCdAudioTao(nullptr, 100, nullptr, 0); },
         CDRW_BAD_PARAMETER},
    };
    for (const ServiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(disc_);
        ASSERT_EQ(startService(c.standIn), CDRW_SUCCESS);
        EXPECT_EQ(c.call(*this), c.expected);
        if (c.blank != 2) {
            EXPECT_EQ(blank, c.blank);
        }
        if (c.rewritable != 2) {
            EXPECT_EQ(rewritable, c.rewritable);
        }
        recording::FreeEngine();
    }
    EXPECT_EQ(startService("drive = 0"), CDRW_NOT_PRESENT);
}

TEST_F(ServiceTest, SpeedsAreTheServicesSectorsPerSecondInTheAppletsFigures) {
    ASSERT_EQ(startService("speeds = 150,300,600"), CDRW_SUCCESS);
    uint16_t read = 1, current = 0, highestRead = 1, highest = 0;
    ASSERT_EQ(EngineEntries.GetCdSpeeds(&read, &current, &highestRead, &highest), CDRW_SUCCESS);
    EXPECT_EQ(highest, 1411);
    EXPECT_EQ(current, 1411);
    for (const auto& [requested, expected] : {std::pair<uint16_t, uint16_t>{1000, 706},
                                              {176, 353},
                                              {2117, 1411},
                                              {0, 1411},
                                              {353, 353}}) {
        ASSERT_EQ(EngineEntries.SetCdSpeeds(read, requested), CDRW_SUCCESS);
        ASSERT_EQ(EngineEntries.GetCdSpeeds(&read, &current, &highestRead, &highest), CDRW_SUCCESS);
        EXPECT_EQ(current, expected) << "requested " << requested;
    }
}

TEST_F(ServiceTest, WritesOneTrackSignallingEveryHundredSectorsAndErasesAUsedCdRw) {
    ASSERT_EQ(startService("media = cdrw\ntime_scale = 1\nspeeds = 900"), CDRW_SUCCESS);
    char vendor[CDRW_TEXT_BUFFER_SIZE], product[CDRW_TEXT_BUFFER_SIZE];
    ASSERT_EQ(EngineEntries.GetVendorProductStrings(vendor, product), CDRW_SUCCESS);
    EXPECT_STREQ(vendor, "VIRTUAL");
    EXPECT_STREQ(product, "CD-RW RECORDER");
    uint32_t tao = 0, sao = 1, dao = 1;
    ASSERT_EQ(EngineEntries.GetSupportedWriteModes(&tao, &sao, &dao), CDRW_SUCCESS);
    EXPECT_EQ(tao + sao + dao, 1u);

    const size_t size = 1000 * 2048 - 100; // padded to whole sectors on the disc
    EXPECT_EQ(writeImage(size), CDRW_SUCCESS);
    EXPECT_EQ(event_.signals(), 10u);
    std::vector<uint8_t> expected = Pattern(size);
    expected.resize(1000 * 2048, 0);
    EXPECT_EQ(ReadBytes(disc_), expected);

    EXPECT_EQ(EngineEntries.BlankDisc(1), CDRW_SUCCESS);
    uint32_t blank = 0, rewritable = 0, ready = 0;
    for (int i = 0; i < 100 && ready == 0; ++i) {
        ASSERT_EQ(discFlags(blank, rewritable, ready), CDRW_SUCCESS);
        if (ready == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(blank, 1u);
    EXPECT_EQ(std::filesystem::file_size(disc_), 0u);
}

TEST_F(ServiceTest, UnloadDuringTheWriteCancelsIt) {
    ASSERT_EQ(startService("time_scale = 1\nspeeds = 75"), CDRW_SUCCESS);
    const BurnJob job = OneEntryJob(image(2048000), 2048000);
    auto writing = std::async(std::launch::async, [&] { return write(job); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(EngineEntries.Unload(), CDRW_SUCCESS);
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(writing.get(), CDRW_TERMINATED);
    EXPECT_LT(std::filesystem::file_size(disc_), 2048000u);
    uint32_t blank = 0, rewritable = 0, ready = 0;
    EXPECT_EQ(discFlags(blank, rewritable, ready), CDRW_NO_BLANK_DISC) << "ejected";
}
#endif

TEST_F(EngineTest, MalformedJobsAreRefusedWithIncorrectFile) {
    configureAndStart("");
    const std::string path = image(4096);
    struct JobCase {
        const char* name;
        std::function<void(BurnJob&)> spoil;
        int32_t expected;
    } cases[] = {
        {"count over 99", [](BurnJob& j) { j.entryCount = 100; }, CDRW_INCORRECT_FILE},
        {"count huge", [](BurnJob& j) { j.entryCount = 0xFFFFFFFFu; }, CDRW_INCORRECT_FILE},
        {"no entry", [](BurnJob& j) { j.entryCount = 0; }, CDRW_INCORRECT_FILE},
        {"path without NUL", [](BurnJob& j) { std::memset(j.path[0], 'a', CDRW_PATH_SIZE); },
         CDRW_INCORRECT_FILE},
        {"missing file",
         [&](BurnJob& j) { std::strcpy(j.path[0], scratch_.file("gone.iso").c_str()); },
         CDRW_INCORRECT_FILE},
        {"size differs", [](BurnJob& j) { j.size[0] = 1234; }, CDRW_INCORRECT_FILE},
        {"title without NUL", [](BurnJob& j) { std::memset(j.discTitle, 'T', CDRW_TITLE_SIZE); },
         CDRW_BAD_PARAMETER},
    };
    for (const JobCase& c : cases) {
        SCOPED_TRACE(c.name);
        BurnJob job = OneEntryJob(path, 4096);
        c.spoil(job);
        EXPECT_EQ(write(job), c.expected);
    }
    EXPECT_EQ(EngineEntries.WriteCdDataTao(nullptr, 100, event_.handle(), 0), CDRW_BAD_PARAMETER);
    EXPECT_FALSE(std::filesystem::exists(disc_));
}

TEST_F(EngineTest, BadConfigurationLinesAreReportedAndKeepTheirDefaults) {
    const DataFolderAt dataFolder(scratch_.path());

    const std::string path = scratch_.file("bad.cfg");
    WriteText(path, "colour = blue\ntarget = seven\nwrite_speeds = 176,fast\n"
                    "disc = " +
                        scratch_.file("no/such/folder/disc.img") + "\ntime_scale = 0\n");
    SetEnvironment(kConfigVariable, path);
    ASSERT_TRUE(recording::LoadEngine());

    testing::internal::CaptureStderr();
    uint8_t adapter = 0, target = 9, lun = 0;
    const int32_t found = recording::FindRecorder(adapter, target, lun, 4, 8192);
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_EQ(found, CDRW_SUCCESS);
    EXPECT_EQ(target, 0) << "the default target";
    EXPECT_NE(messages.find("line 1: unknown key ignored: colour"), std::string::npos) << messages;
    EXPECT_NE(messages.find("line 2: bad value for target"), std::string::npos) << messages;
    EXPECT_NE(messages.find("line 3: bad value for write_speeds"), std::string::npos) << messages;
    EXPECT_NE(messages.find("line 4: the disc folder does not exist"), std::string::npos)
        << messages;

    EXPECT_EQ(writeImage(4096), CDRW_SUCCESS);
    EXPECT_EQ(ReadBytes(scratch_.file("CdRwLib/disc.img")), Pattern(4096)) << "the default disc";
}

} // namespace
} // namespace qv::test
