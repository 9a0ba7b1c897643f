#include "platform/SettingsStore.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifdef _WIN32
#include "platform/win32/WinApi.h"
#else
#include "platform/posix/IniSettingsStore.h"
#include "platform/posix/IniText.h"
#include <cstdlib>
#endif

namespace qv::platform {
namespace {

using test::PlatformTempFolder;

constexpr const char* kKey = "Software\\QvPlatformTest\\5.0";

// Values the applet stores and values that could break a line-based file.
void ExpectRoundTrips(SettingsStore& store) {
    const std::pair<const char*, std::string> values[] = {
        {"CPUspeed", "2400"},    {"Spaces", "a value with  spaces "}, {"Equals", "a=b==c"},
        {"Percent", "100% %41"}, {"Lines", "one\r\ntwo\nthree"},      {"Brackets", "[Other]"},
        {"Empty", ""},           {"Name with = and [", "x"},
    };
    for (const auto& [name, value] : values)
        ASSERT_TRUE(store.Write(kKey, name, value)) << name;
    for (const auto& [name, value] : values)
        EXPECT_EQ(store.Read(kKey, name, "default"), value) << name;
    EXPECT_EQ(store.Read(kKey, "Missing", "default"), "default");
    EXPECT_EQ(store.Read("Software\\QvPlatformTest\\Other", "CPUspeed", "none"), "none");
    ASSERT_TRUE(store.Write(kKey, "CPUspeed", "2600"));
    EXPECT_EQ(store.Read(kKey, "cpuspeed", ""), "2600") << "names ignore case, as in the registry";
}

#ifdef _WIN32
TEST(PlatformSettingsStore, RegistryRoundTrip) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QvPlatformTest");
    ExpectRoundTrips(*OpenUserSettings());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QvPlatformTest");
}
#else
TEST(PlatformSettingsStore, IniFileRoundTrip) {
    PlatformTempFolder folder;
    const std::string file = folder.File("config/qvapplet/settings.ini");
    IniSettingsStore store(file);
    EXPECT_EQ(store.Read(kKey, "CPUspeed", "0"), "0") << "no file yet";
    ExpectRoundTrips(store);
    const std::string text = PlatformTempFolder::Read(file);
    EXPECT_EQ(text.rfind("[Software\\QvPlatformTest\\5.0]\nCPUspeed=2600\n", 0), 0u) << text;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("config/qvapplet")))
        EXPECT_EQ(entry.path().filename(), "settings.ini") << "no temporary file left";
}

// Each damaged line costs that line only: a hand-set DeleteApplet=0 survives
// it, and the next write drops the line and keeps the rest.
TEST(PlatformSettingsStore, DamagedLineCostsThatLineOnly) {
    using namespace std::string_literals;
    const std::string section = "[Software\\QvPlatformTest\\5.0]\n";
    struct Case {
        std::string text;
        const char* cpuSpeed;
    };
    const Case cases[] = {
        {section + "DeleteApplet=0\nthis line has no equals sign\nCPUspeed=2400\n", "2400"},
        {"CPUspeed=2400\n" + section + "DeleteApplet=0\n", "0"}, // entry before any section
        {"[Software\\QvPlatformTest\\5.0\nDeleteApplet=0\nCPUspeed=2400\n", "2400"},
        {section + "DeleteApplet=0\nCPUspeed=24%G0\n", "0"},
        {section + "CPUspeed=2400%\nDeleteApplet=0\n", "0"},
        {section + "DeleteApplet=0\nCPUspeed=24\0"
                   "00\nPriorX=4\n"s,
         "0"},
        {section + "DeleteApplet=0\nCPUspeed=2400\n\0\0\0"s, "2400"},
    };
    for (const Case& c : cases) {
        PlatformTempFolder folder;
        const std::string file = folder.Write("settings.ini", c.text);
        IniSettingsStore store(file);
        EXPECT_EQ(store.Read(kKey, "DeleteApplet", "1"), "0") << c.text;
        EXPECT_EQ(store.Read(kKey, "CPUspeed", "0"), c.cpuSpeed) << c.text;
        ASSERT_TRUE(store.Write(kKey, "PriorX", "8"));
        EXPECT_EQ(store.Read(kKey, "DeleteApplet", "1"), "0") << c.text;
        EXPECT_EQ(store.Read(kKey, "PriorX", ""), "8") << c.text;
        EXPECT_EQ(PlatformTempFolder::Read(file).find('\0'), std::string::npos) << c.text;
    }
}

TEST(PlatformSettingsStore, HandEditedFileIsRead) {
    PlatformTempFolder folder;
    const std::string file = folder.Write("settings.ini", "\xEF\xBB\xBF; edited by hand\r\n"
                                                          "[software\\qvplatformtest\\5.0]\r\n"
                                                          "  DeleteApplet = 0  \r\n"
                                                          "# another comment\r\n"
                                                          "[Other]\r\nDeleteApplet=1\r\n");
    IniSettingsStore store(file);
    EXPECT_EQ(store.Read(kKey, "DeleteApplet", "1"), "0");
    ASSERT_TRUE(store.Write(kKey, "Testing", "1"));
    EXPECT_EQ(store.Read(kKey, "DeleteApplet", "1"), "0");
    EXPECT_EQ(store.Read("Other", "DeleteApplet", ""), "1");
}

TEST(PlatformSettingsStore, UnwritableFolderReportsFailure) {
    PlatformTempFolder folder;
    folder.Write("plain", "a file where a folder should be");
    IniSettingsStore store(folder.File("plain/settings.ini"));
    EXPECT_FALSE(store.Write(kKey, "CPUspeed", "1"));
    EXPECT_EQ(store.Read(kKey, "CPUspeed", "none"), "none");
}

TEST(PlatformSettingsStore, FileLivesInTheXdgConfigFolder) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/some/config", 1);
    EXPECT_EQ(DefaultSettingsFilePath(), "/some/config/qvapplet/settings.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(DefaultSettingsFilePath().rfind("/.config/qvapplet/settings.ini"),
              DefaultSettingsFilePath().size() - 30);
    if (saved != nullptr)
        ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
#endif

} // namespace
} // namespace qv::platform
