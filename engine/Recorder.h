#pragma once
// The seam between the exported entries and a back end. The entries check
// pointers and decode the job record; a back end only sees C++ values. Each
// Start picks the back end the configuration asks for (BackEnd.cpp).

#include "ProgressSignal.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace qv::engine {

struct DiscFlags {
    bool blank = false;
    bool rewritable = false;
    bool ready = false;
};

struct SpeedReport {
    uint16_t read = 0;
    uint16_t currentWrite = 0;
    uint16_t highestRead = 0;
    uint16_t highestWrite = 0;
};

struct WriteModeFlags {
    bool trackAtOnce = false;
    bool sessionAtOnce = false;
    bool discAtOnce = false;
};

// One entry of a job, already checked: the file exists and has this size.
struct Track {
    std::string path;
    uint64_t size = 0;
    // Opened once, when the job is read, and read from its start by the write
    // and by the read-back alike: a folder renamed meanwhile cannot part the
    // written bytes from the ones they are checked against.
    mutable std::shared_ptr<std::ifstream> file;
};

// The track's file, rewound to its start; opened now if the job did not.
std::istream& RewoundTrackFile(const Track& track);

struct WriteRequest {
    std::vector<Track> tracks;
    uint32_t interval = 0; // sectors between two signals
    ProgressSignal signal;
    bool testOnly = false;
};

class Recorder {
public:
    virtual ~Recorder() = default;

    virtual int32_t start(uint8_t hostAdapter, uint8_t target, uint8_t lun) = 0;
    virtual int32_t blankDisc(int32_t mode) = 0;
    virtual int32_t isDiscBlank(DiscFlags& flags) = 0;
    virtual int32_t setSpeeds(uint16_t read, uint16_t write) = 0;
    virtual int32_t getSpeeds(SpeedReport& speeds) = 0;
    virtual int32_t unload() = 0;
    virtual int32_t load() = 0;
    virtual int32_t sendOpc() = 0;
    virtual int32_t isDeviceReady() = 0;
    virtual int32_t burnProofControl(int32_t request) = 0;
    virtual int32_t vendorProduct(std::string& vendor, std::string& product) = 0;
    virtual int32_t writeModes(WriteModeFlags& modes) = 0;
    virtual int32_t writeData(const WriteRequest& request) = 0;
    virtual int32_t writeAudio(const WriteRequest& request) = 0;
    // Another back end takes over: let go of any drive held.
    virtual void release() {}
};

// The back end the entries talk to, made on first use.
Recorder& ActiveRecorder();

} // namespace qv::engine
