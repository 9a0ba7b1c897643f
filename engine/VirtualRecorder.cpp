#include "VirtualRecorder.h"

#include "DiscVerify.h"
#include "WritePace.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

namespace qv::engine {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultSource = "default configuration";
constexpr const char* kUnreadableConfig = "CdRwLib: cannot read the configuration ";
constexpr const char* kDefaultRecorderUsed = "; the default recorder is used";

bool DiscIsBlank(const std::string& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error || size == 0;
}

uint64_t SectorsOf(uint64_t bytes) {
    return (bytes + CDRW_SECTOR_SIZE - 1) / CDRW_SECTOR_SIZE;
}

// A disc whose burn went wrong at one byte: the tests' way to show that
// verification reads what is on the disc.
bool ChangeDiscByte(const std::string& discPath, int64_t offset) {
    std::fstream disc(discPath, std::ios::binary | std::ios::in | std::ios::out);
    char byte = 0;
    if (!disc.seekg(offset) || !disc.get(byte)) return true; // beyond the written track
    byte = static_cast<char>(byte ^ 0x01);
    return static_cast<bool>(disc.seekp(offset).put(byte).flush());
}

int32_t VerifyDiscFile(const std::vector<Track>& tracks, const std::string& discPath) {
    std::ifstream disc(discPath, std::ios::binary);
    return VerifyWrittenTrack(tracks, [&disc](uint64_t offset, char* data, size_t size) {
        return static_cast<bool>(disc.seekg(static_cast<std::streamoff>(offset))
                                     .read(data, static_cast<std::streamsize>(size)));
    });
}

} // namespace

void VirtualRecorder::refreshConfig() {
    const ConfigFile file = ReadConfigFile();
    std::string identity = file.identity();
    // Unchanged files are not parsed again, so a fault is reported once.
    if (configured_ && identity == configIdentity_) return;
    configIdentity_ = std::move(identity);
    configured_ = true;
    if (file.named() && !file.readable) {
        std::cerr << kUnreadableConfig << file.path << kDefaultRecorderUsed << '\n';
        config_ = ParseConfig({}, kDefaultSource, {}, std::cerr);
    } else {
        config_ = file.named() ? ParseConfigFile(file, std::cerr)
                               : ParseConfig({}, kDefaultSource, {}, std::cerr);
    }
    clampSpeeds();
}

void VirtualRecorder::clampSpeeds() {
    readSpeed_ = config_.offeredReadSpeed(readSpeed_);
    writeSpeed_ =
        config_.offeredWriteSpeed(writeSpeed_ == 0 ? config_.highestWriteSpeed() : writeSpeed_);
}

bool VirtualRecorder::discInDrive() const {
    return config_.discInserted && !ejected_;
}

int32_t VirtualRecorder::start(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    std::lock_guard lock(mutex_);
    refreshConfig();
    // Start (re)starts the engine on the address it is given, so a scan that
    // passes empty addresses leaves it running only where the drive answers.
    started_ = false;
    if (!config_.drivePresent || hostAdapter != config_.hostAdapter || target != config_.target ||
        lun != 0)
        return CDRW_NOT_PRESENT;
    started_ = true;
    ejected_ = false;
    notReadyAnswers_ = 0;
    busyAnswersLeft_ = 0;
    readSpeed_ = config_.readSpeed;
    writeSpeed_ = config_.highestWriteSpeed();
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::blankDisc(int32_t) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    refreshConfig();
    if (!discInDrive()) return CDRW_NO_BLANK_DISC;
    if (!config_.rewritable) return CDRW_FEATURE_NOT_SUPPORTED;
    if (config_.eraseStatus != CDRW_SUCCESS) return config_.eraseStatus;
    std::ofstream disc(config_.discPath, std::ios::binary | std::ios::trunc);
    if (!disc) return CDRW_SYSTEM_CALL_FAILED;
    busyAnswersLeft_ = config_.eraseBusyCalls;
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::isDiscBlank(DiscFlags& flags) {
    std::lock_guard lock(mutex_);
    flags = DiscFlags{};
    if (!started_) return CDRW_NOT_STARTED;
    refreshConfig();
    // An empty tray fails the call, so the caller's retry closes it (Load).
    if (!discInDrive()) return CDRW_NO_BLANK_DISC;
    flags.blank = DiscIsBlank(config_.discPath);
    flags.rewritable = config_.rewritable;
    flags.ready = busyAnswersLeft_ == 0;
    if (busyAnswersLeft_ > 0) --busyAnswersLeft_;
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::setSpeeds(uint16_t read, uint16_t write) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (config_.setSpeedsStatus != CDRW_SUCCESS) return config_.setSpeedsStatus;
    readSpeed_ = config_.offeredReadSpeed(read);
    writeSpeed_ = config_.offeredWriteSpeed(write);
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::getSpeeds(SpeedReport& speeds) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (config_.getSpeedsStatus != CDRW_SUCCESS) return config_.getSpeedsStatus;
    speeds = SpeedReport{readSpeed_, writeSpeed_, config_.readSpeed, config_.highestWriteSpeed()};
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::unload() {
    if (!started_) return CDRW_NOT_STARTED;
    {
        std::lock_guard lock(ejectMutex_);
        ejected_ = true;
    }
    ejectSignal_.notify_all();
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::load() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    refreshConfig();
    ejected_ = false;
    notReadyAnswers_ = 0;
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::sendOpc() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    return discInDrive() ? CDRW_SUCCESS : CDRW_NO_BLANK_DISC;
}

int32_t VirtualRecorder::isDeviceReady() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    refreshConfig();
    if (!discInDrive()) return CDRW_TIMEOUT;
    if (notReadyAnswers_ < config_.notReadyCalls) {
        ++notReadyAnswers_;
        return CDRW_TIMEOUT;
    }
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::burnProofControl(int32_t) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    return config_.underrunProtection ? CDRW_SUCCESS : CDRW_FEATURE_NOT_SUPPORTED;
}

int32_t VirtualRecorder::vendorProduct(std::string& vendor, std::string& product) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (config_.vendorStatus != CDRW_SUCCESS) return config_.vendorStatus;
    vendor = config_.vendor;
    product = config_.product;
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::writeModes(WriteModeFlags& modes) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (config_.writeModesStatus != CDRW_SUCCESS) return config_.writeModesStatus;
    modes = config_.writeModes;
    return CDRW_SUCCESS;
}

int32_t VirtualRecorder::writeAudio(const WriteRequest&) {
    // The virtual drive makes data discs only.
    return started_ ? CDRW_UNSUPPORTED_WRITE_MODE : CDRW_NOT_STARTED;
}

int32_t VirtualRecorder::writeData(const WriteRequest& request) {
    RecorderConfig config;
    uint16_t speed = 0;
    {
        std::lock_guard lock(mutex_);
        if (!started_) return CDRW_NOT_STARTED;
        refreshConfig();
        if (!discInDrive() || !DiscIsBlank(config_.discPath)) return CDRW_NO_BLANK_DISC;
        if (!config_.writeModes.trackAtOnce) return CDRW_UNSUPPORTED_WRITE_MODE;
        uint64_t sectors = 0;
        for (const Track& track : request.tracks)
            sectors += SectorsOf(track.size);
        if (sectors > config_.capacitySectors) return CDRW_DISC_TOO_SMALL;
        config = config_;
        speed = writeSpeed_;
    }
    // The copy runs without the lock so that Unload can stop it at once.
    const int32_t status = copySectors(request, config, speed);
    if (status != CDRW_SUCCESS || request.testOnly) return status;
    if (config.changedByte >= 0 && !ChangeDiscByte(config.discPath, config.changedByte))
        return CDRW_SYSTEM_CALL_FAILED;
    return config.verify ? VerifyDiscFile(request.tracks, config.discPath) : CDRW_SUCCESS;
}

int32_t VirtualRecorder::copySectors(const WriteRequest& request, const RecorderConfig& config,
                                     uint16_t speed) {
    const WritePace pace(config.timeScale, speed);
    const bool failing = config.writeFailSector >= 0 && config.writeFailStatus != CDRW_SUCCESS;

    std::ofstream disc;
    if (!request.testOnly) {
        disc.open(config.discPath, std::ios::binary | std::ios::trunc);
        if (!disc) return CDRW_SYSTEM_CALL_FAILED;
    }
    std::vector<char> sector(CDRW_SECTOR_SIZE);
    uint64_t written = 0;
    for (const Track& track : request.tracks) {
        std::istream& source = RewoundTrackFile(track);
        if (!source) return CDRW_INCORRECT_FILE;
        for (uint64_t left = track.size; left > 0;) {
            if (ejected_) return CDRW_TERMINATED;
            if (failing && written == static_cast<uint64_t>(config.writeFailSector))
                return config.writeFailStatus;
            const auto count =
                static_cast<std::streamsize>(std::min<uint64_t>(left, sector.size()));
            std::fill(sector.begin(), sector.end(), '\0');
            if (!source.read(sector.data(), count)) return CDRW_INCORRECT_FILE;
            if (!request.testOnly && !disc.write(sector.data(), CDRW_SECTOR_SIZE))
                return CDRW_SYSTEM_CALL_FAILED;
            left -= static_cast<uint64_t>(count);
            ++written;
            if (written % request.interval == 0) request.signal.raise();
            if (pace.paced() && !pauseUntil(pace.deadlineAfter(written))) return CDRW_TERMINATED;
        }
    }
    if (!request.testOnly && !disc.flush()) return CDRW_SYSTEM_CALL_FAILED;
    return CDRW_SUCCESS;
}

bool VirtualRecorder::pauseUntil(Clock::time_point deadline) {
    std::unique_lock lock(ejectMutex_);
    return !ejectSignal_.wait_until(lock, deadline, [this] { return ejected_.load(); });
}

} // namespace qv::engine
