#pragma once
// The back end and its device, the virtual recorder's disc and faults, read
// from a small text file of "key = value" lines (engine/README.md documents
// every key). A bad line never stops the engine: it is reported on the error
// stream and the key keeps its default.

#include "Recorder.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace qv::engine {

// The environment variable that names the configuration file.
inline constexpr const char* kConfigVariable = "CDRWLIB_CONFIG";

// Which back end a configuration asks for. Inside a file the virtual recorder
// is the default, so every existing configuration keeps its meaning.
enum class BackEndKind { Virtual, Libburn, Imapi2 };

inline constexpr const char* kStdioPrefix = "stdio:";

struct RecorderConfig {
    BackEndKind backEnd = BackEndKind::Virtual;
    std::string device;       // libburn: empty scans the system's drives
    bool verify = true;       // read the written track back before reporting success
    int64_t changedByte = -1; // virtual: this disc byte reads back changed; -1 none
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
    // The fastest offered write speed not above the request (the slowest
    // when all are above it), and the read speed capped at read_speed.
    uint16_t offeredWriteSpeed(uint16_t requested) const;
    uint16_t offeredReadSpeed(uint16_t requested) const;
};

// The configuration file CDRWLIB_CONFIG names, as last read.
struct ConfigFile {
    std::string path; // empty: the variable is not set
    bool readable = false;
    std::string text;

    bool named() const { return !path.empty(); }
    // Changes whenever the file's name, readability or text does.
    std::string identity() const;
};

ConfigFile ReadConfigFile();

// The configuration of a readable file; problems go to errors.
RecorderConfig ParseConfigFile(const ConfigFile& file, std::ostream& errors);

// Parses the text of a configuration; relative disc paths are taken from
// baseFolder. Problems go to errors, one line each, naming source and line.
RecorderConfig ParseConfig(const std::string& text, const std::string& source,
                           const std::string& baseFolder, std::ostream& errors);

// "<user data folder>/CdRwLib/disc.img"; its folder is created when missing.
std::string DefaultDiscPath(std::ostream& errors);

// The value of an environment variable, empty when unset.
std::string EnvironmentValue(const char* name);

} // namespace qv::engine
