#pragma once
// The virtual recorder's device, disc and faults, read from a small text
// file of "key = value" lines (engine/README.md documents every key). A bad
// line never stops the engine: it is reported on the error stream and the
// key keeps its default.

#include "Recorder.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace qv::engine {

// The environment variable that names the configuration file.
inline constexpr const char* kConfigVariable = "CDRWLIB_CONFIG";

struct RecorderConfig {
    bool drivePresent = true;
    uint8_t hostAdapter = 1;
    uint8_t target = 0;
    std::string vendor = "VIRTUAL";
    std::string product = "CD-RW RECORDER";
    std::string discPath; // filled with DefaultDiscPath() when not configured
    bool discInserted = true;
    bool rewritable = false;
    uint32_t capacitySectors = 359999; // an 80-minute disc
    WriteModeFlags writeModes{true, true, true};
    bool underrunProtection = true;
    uint16_t readSpeed = 7056;
    std::vector<uint16_t> writeSpeeds{176, 353, 706, 1411, 1764, 2117};
    double timeScale = 1.0;
    uint32_t notReadyCalls = 0;
    uint32_t eraseBusyCalls = 0;
    int32_t eraseStatus = 1;
    int32_t getSpeedsStatus = 1;
    int32_t setSpeedsStatus = 1;
    int32_t vendorStatus = 1;
    int32_t writeModesStatus = 1;
    int64_t writeFailSector = -1; // none
    int32_t writeFailStatus = 14;

    uint16_t highestWriteSpeed() const;
};

// Parses the text of a configuration; relative disc paths are taken from
// baseFolder. Problems go to errors, one line each, naming source and line.
RecorderConfig ParseConfig(const std::string& text, const std::string& source,
                           const std::string& baseFolder, std::ostream& errors);

// "<user data folder>/CdRwLib/disc.img"; its folder is created when missing.
std::string DefaultDiscPath(std::ostream& errors);

// The value of an environment variable, empty when unset.
std::string EnvironmentValue(const char* name);

} // namespace qv::engine
