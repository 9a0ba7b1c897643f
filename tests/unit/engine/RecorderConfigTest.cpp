// The back-end keys of the engine's configuration and where a system drive
// answers to the applet's scan.

#include "engine/RecorderConfig.h"
#include "engine/ScsiAddress.h"

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
        {"backend = cdrom", [](auto& c) { return c.backEnd == BackEndKind::Libburn; },
         "t.cfg line 2: bad value for backend (virtual or libburn): \"cdrom\"; the default is "
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
}

} // namespace
} // namespace qv::test
