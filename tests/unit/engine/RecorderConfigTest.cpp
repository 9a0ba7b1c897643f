// The back-end keys of the engine's configuration, where a system drive
// answers to the applet's scan, which media are blank, and libburn's speeds.

#include "engine/RecorderConfig.h"
#include "engine/MediaDecision.h"
#include "engine/ScsiAddress.h"
#include "engine/SpeedUnits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace qv::test {
namespace {

using engine::BackEndKind;
using engine::RecorderConfig;
using engine::ScsiAddress;

struct KeyCase {
    const char* line;
    bool (*holds)(const RecorderConfig&);
    const char* message; // empty: no complaint
};

TEST(RecorderConfigKeys, BackEndKeysTakeGoodValuesAndNameBadOnes) {
    const KeyCase cases[] = {
        {"", [](auto& c) { return c.backEnd == BackEndKind::Libburn && c.verify; }, ""},
        {"backend = LibBurn", [](auto& c) { return c.backEnd == BackEndKind::Libburn; }, ""},
        {"backend = imapi2", [](auto& c) { return c.backEnd == BackEndKind::Imapi2; }, ""},
        {"backend = cdrom", [](auto& c) { return c.backEnd == BackEndKind::Libburn; },
         "t.cfg line 2: bad value for backend (virtual, libburn or imapi2): \"cdrom\"; the default "
         "is "
         "kept"},
        {"device = /dev/sr0", [](auto& c) { return c.device == "/dev/sr0"; }, ""},
        {"device = stdio:/tmp/d.img", [](auto& c) { return c.device == "stdio:/tmp/d.img"; }, ""},
        {"device = stdio:d.img",
         [](auto& c) {
             return c.device == "stdio:" + (std::filesystem::path("/cfg") / "d.img").string();
         },
         ""},
        {"device = sr0", [](auto& c) { return c.device.empty(); },
         "line 2: bad value for device (a device path such as /dev/sr0, or stdio:PATH): \"sr0\""},
        {"device = stdio:", [](auto& c) { return c.device.empty(); }, "bad value for device"},
        {"verify = 0", [](auto& c) { return !c.verify; }, ""},
        {"verify = yes", [](auto& c) { return c.verify; }, "bad value for verify (0 or 1)"},
        {"changed_byte = 4096", [](auto& c) { return c.changedByte == 4096; }, ""},
        {"changed_byte = -2", [](auto& c) { return c.changedByte == -1; },
         "bad value for changed_byte (-1 to 1000000000)"},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.line);
        std::ostringstream errors;
        const RecorderConfig config = engine::ParseConfig(
            std::string("backend = libburn\n") + c.line + "\n", "t.cfg", "/cfg", errors);
        EXPECT_TRUE(c.holds(config));
        if (*c.message == '\0')
            EXPECT_EQ(errors.str(), "");
        else
            EXPECT_NE(errors.str().find(c.message), std::string::npos) << errors.str();
        EXPECT_TRUE(config.discPath.empty()) << "a real drive's configuration makes no disc file";
    }
}

TEST(DriveAddress, TheScanFindsEachDriveAtItsHostTargetAndLun) {
    const std::vector<std::optional<ScsiAddress>> drives = {
        ScsiAddress{1, 0, 0, 0}, std::nullopt, ScsiAddress{2, 0, 3, 0}, ScsiAddress{2, 1, 3, 0},
        ScsiAddress{4, 0, 0, 1}};
    struct Case {
        uint8_t adapter, target, lun;
        std::optional<size_t> drive;
    } cases[] = {
        {1, 0, 0, 0},
        {0, 0, 0, std::nullopt},
        {1, 1, 0, std::nullopt},
        {2, 3, 0, 2}, // the first of two that differ only by channel
        {4, 0, 0, std::nullopt},
        {4, 0, 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.adapter) + ":" + std::to_string(c.target) + ":" +
                     std::to_string(c.lun));
        EXPECT_EQ(engine::DriveAtAddress(drives, c.adapter, c.target, c.lun), c.drive);
    }
    EXPECT_EQ(engine::DriveAtAddress({}, 1, 0, 0), std::nullopt);

    // Drives beyond the scan (USB at host 9, target 8) take the free
    // addresses in the applet's order, around those the others hold.
    const std::vector<std::optional<ScsiAddress>> usb = {
        ScsiAddress{9, 0, 0, 0}, ScsiAddress{0, 0, 0, 0}, ScsiAddress{2, 0, 8, 0}};
    const Case beyond[] = {
        {0, 0, 0, 1}, {0, 1, 0, 0}, {0, 2, 0, 2}, {0, 3, 0, std::nullopt}, {0, 1, 1, std::nullopt},
        {9, 0, 0, 0},
    };
    for (const Case& c : beyond) {
        SCOPED_TRACE(std::to_string(c.adapter) + ":" + std::to_string(c.target) + ":" +
                     std::to_string(c.lun) + " beyond");
        EXPECT_EQ(engine::DriveAtAddress(usb, c.adapter, c.target, c.lun), c.drive);
    }
}

TEST(MediaDecision, OnlyABlankCdIsBlankAndOnlyAUsedCdRwMayBeErased) {
    using engine::DiscState;
    using engine::MediumVerdict;
    constexpr int kCdRom = 0x08, kDvdRam = 0x12, kDvdMinusRwOverwrite = 0x13, kDvdPlusRw = 0x1a,
                  kDvdPlusR = 0x1b, kBdRe = 0x43, kNone = 0;
    constexpr int kCdR = engine::kProfileCdR, kCdRw = engine::kProfileCdRw;
    struct Case {
        int profile;
        DiscState state;
        MediumVerdict verdict;
        bool rewritable;
    } cases[] = {
        {kCdR, DiscState::Blank, MediumVerdict::Blank, false},
        {kCdRw, DiscState::Blank, MediumVerdict::Blank, true},
        {kCdR, DiscState::Appendable, MediumVerdict::NotBlank, false},
        {kCdR, DiscState::Full, MediumVerdict::NotBlank, false},
        {kCdRw, DiscState::Full, MediumVerdict::UsedRewritable, true},
        {kCdRw, DiscState::Appendable, MediumVerdict::UsedRewritable, true},
        {kCdRw, DiscState::Unsuitable, MediumVerdict::NotBlank, false},
        {kCdRw, DiscState::Unknown, MediumVerdict::NotBlank, false},
        {kCdRom, DiscState::Full, MediumVerdict::NotBlank, false},
        // Overwritable media read blank whether or not they hold data.
        {kDvdPlusRw, DiscState::Blank, MediumVerdict::NotBlank, false},
        {kDvdRam, DiscState::Blank, MediumVerdict::NotBlank, false},
        {kDvdMinusRwOverwrite, DiscState::Blank, MediumVerdict::NotBlank, false},
        {kBdRe, DiscState::Blank, MediumVerdict::NotBlank, false},
        {kDvdPlusR, DiscState::Blank, MediumVerdict::NotBlank, false},
        {kDvdPlusRw, DiscState::Full, MediumVerdict::NotBlank, false},
        {kNone, DiscState::Empty, MediumVerdict::NotBlank, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.profile) + " state " + std::to_string(int(c.state)));
        const engine::Medium medium{false, c.profile, c.state, true};
        EXPECT_EQ(engine::JudgeMedium(medium), c.verdict);
        EXPECT_EQ(engine::ReportsRewritable(medium), c.rewritable);
    }
    // A pseudo-drive is a CD-R whose file is the disc; libburn calls it blank
    // even with data in it.
    for (const bool empty : {true, false}) {
        const engine::Medium file{true, 0xffff, DiscState::Blank, empty};
        EXPECT_EQ(engine::JudgeMedium(file),
                  empty ? MediumVerdict::Blank : MediumVerdict::NotBlank);
        EXPECT_FALSE(engine::ReportsRewritable(file));
    }
}

TEST(SpeedUnits, MultiplesOfSingleSpeedRoundUpAndOthersStay) {
    const std::pair<uint16_t, int> cases[] = {
        {0, 0},       {176, 177},   {353, 353},   {706, 706},     {1411, 1412},
        {1412, 1412}, {1764, 1764}, {2117, 2117}, {4233, 4234},   {7056, 7056},
        {1000, 1000}, {177, 177},   {175, 175},   {65535, 65535},
    };
    for (const auto& [applet, libburn] : cases)
        EXPECT_EQ(engine::LibburnSpeed(applet), libburn) << applet;
}

TEST(SpeedUnits, TheServicesSectorsPerSecondAreTheAppletsFiguresBothWays) {
    // Sectors per second (75 is single speed) and the applet's figure.
    const std::pair<int32_t, uint16_t> cases[] = {
        {75, 176}, {150, 353}, {300, 706}, {600, 1411}, {750, 1764}, {900, 2117}, {3600, 8467},
    };
    for (const auto& [service, applet] : cases) {
        EXPECT_EQ(engine::ServiceSpeedToApplet(service), applet) << service;
        EXPECT_EQ(engine::AppletSpeedToService(applet), service) << applet;
    }
    EXPECT_EQ(engine::ServiceSpeedToApplet(0), 0);
    EXPECT_EQ(engine::ServiceSpeedToApplet(-1), 0);
    EXPECT_EQ(engine::ServiceSpeedToApplet(1000000), 65535);
}

} // namespace
} // namespace qv::test
