#include "LibburnRecorder.h"

#include "CdRwLib.h"
#include "DiscVerify.h"
#include "LibburnTrackSource.h"
#include "TrackStream.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

namespace qv::engine {

using namespace burn;

namespace {

constexpr const char* kMessagePrefix = "CdRwLib: libburn: ";
constexpr const char* kCannotStart = "CdRwLib: libburn cannot be started";
constexpr const char* kCannotGrab = "CdRwLib: cannot use the drive ";
constexpr const char* kWriteRefused = "CdRwLib: libburn refuses the write: ";
// Messages of this severity and above reach the error output.
constexpr const char* kPrintedSeverity = "SORRY";
constexpr const char* kQueuedSeverity = "NEVER";
constexpr int kMmcDriveRole = 1;
constexpr int kRandomAccessFileRole = 2;
constexpr auto kPollStep = std::chrono::milliseconds(20);
constexpr uint16_t kHighestSpeed = 65535;

uint16_t SpeedValue(int speed) {
    return static_cast<uint16_t>(std::clamp(speed, 0, static_cast<int>(kHighestSpeed)));
}

std::string TrimmedText(const char* text) {
    std::string value(text);
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    return value;
}

// A libburn disc of one session holding one Mode 1 data track; frees all
// of it when it goes out of scope.
class DataDisc {
public:
    explicit DataDisc(burn_source* source)
        : disc_(burn_disc_create()), session_(burn_session_create()), track_(burn_track_create()),
          source_(source) {
        burn_disc_add_session(disc_, session_, BURN_POS_END);
        burn_track_define_data(track_, 0, 0, 1, BURN_MODE1);
        burn_track_set_source(track_, source_);
        burn_session_add_track(session_, track_, BURN_POS_END);
    }
    ~DataDisc() {
        burn_source_free(source_);
        burn_track_free(track_);
        burn_session_free(session_);
        burn_disc_free(disc_);
    }
    DataDisc(const DataDisc&) = delete;
    DataDisc& operator=(const DataDisc&) = delete;

    burn_disc* disc() const { return disc_; }

private:
    burn_disc* disc_;
    burn_session* session_;
    burn_track* track_;
    burn_source* source_;
};

class WriteOptions {
public:
    explicit WriteOptions(burn_drive* drive) : options_(burn_write_opts_new(drive)) {}
    ~WriteOptions() { burn_write_opts_free(options_); }
    WriteOptions(const WriteOptions&) = delete;
    WriteOptions& operator=(const WriteOptions&) = delete;

    burn_write_opts* get() const { return options_; }

private:
    burn_write_opts* options_;
};

} // namespace

LibburnRecorder::~LibburnRecorder() {
    // The drive is let go (its tray unlocked) when the engine is unloaded.
    // burn_finish() is left out: it flushes every stdio stream, which blocks
    // while the applet's input thread waits on standard input.
    if (initialized_) dropDrives();
}

void LibburnRecorder::refreshConfig() {
    const ConfigFile file = ReadConfigFile();
    std::string identity = file.identity();
    if (configured_ && identity == configIdentity_) return;
    configIdentity_ = std::move(identity);
    configured_ = true;
    if (file.named() && file.readable) {
        config_ = ParseConfigFile(file, std::cerr);
    } else {
        config_ = RecorderConfig{};
        config_.backEnd = BackEndKind::Libburn;
    }
    // A different device or scan: the old drive is let go.
    if (config_.device != namedDevice_) dropDrives();
}

bool LibburnRecorder::initialize() {
    if (initialized_) return true;
    if (burn_initialize() != 1) {
        std::cerr << kCannotStart << '\n';
        return false;
    }
    std::string queued = kQueuedSeverity, printed = kPrintedSeverity, prefix = kMessagePrefix;
    burn_msgs_set_severities(queued.data(), printed.data(), prefix.data());
    initialized_ = true;
    return true;
}

void LibburnRecorder::dropDrives() {
    burn_drive* drive = drive_.exchange(nullptr);
    if (drive != nullptr && grabbed_) burn_drive_release(drive, 0);
    grabbed_ = false;
    if (infos_ != nullptr) burn_drive_info_free(infos_);
    infos_ = nullptr;
    infoCount_ = 0;
    scanned_ = false;
    addresses_.clear();
    namedDevice_.clear();
    started_ = false;
}

void LibburnRecorder::release() {
    std::lock_guard lock(mutex_);
    if (writing_) return;
    dropDrives();
}

bool LibburnRecorder::scanDrives() {
    if (scanned_) return true;
    dropDrives();
    int result = 0;
    while ((result = burn_drive_scan(&infos_, &infoCount_)) == 0)
        std::this_thread::sleep_for(kPollStep);
    if (result < 0) {
        infos_ = nullptr;
        infoCount_ = 0;
        return false;
    }
    scanned_ = true;
    for (unsigned int index = 0; index < infoCount_; ++index) {
        char path[BURN_DRIVE_ADR_LEN] = {};
        ScsiAddress address;
        int bus = 0;
        const bool known = burn_drive_get_adr(&infos_[index], path) > 0 &&
                           burn_drive_obtain_scsi_adr(path, &bus, &address.host, &address.channel,
                                                      &address.target, &address.lun) == 1;
        addresses_.push_back(known ? std::optional(address) : std::nullopt);
    }
    return true;
}

int32_t LibburnRecorder::grabScannedDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    if (!scanDrives()) return CDRW_NOT_PRESENT;
    const std::optional<size_t> index = DriveAtAddress(addresses_, hostAdapter, target, lun);
    if (!index) return CDRW_NOT_PRESENT;
    if (grabbed_ && driveIndex_ == *index) return CDRW_SUCCESS;
    if (burn_drive* held = drive_.exchange(nullptr); held != nullptr && grabbed_)
        burn_drive_release(held, 0);
    grabbed_ = burn_drive_grab(infos_[*index].drive, 1) == 1;
    if (!grabbed_) {
        std::cerr << kCannotGrab << infos_[*index].location << '\n';
        return CDRW_NOT_PRESENT;
    }
    driveIndex_ = *index;
    drive_ = infos_[*index].drive;
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::grabNamedDevice(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    // A named drive answers at the configured address, like the virtual one.
    if (hostAdapter != config_.hostAdapter || target != config_.target || lun != 0)
        return CDRW_NOT_PRESENT;
    if (namedDevice_ == config_.device && infos_ != nullptr) {
        if (!grabbed_) grabbed_ = burn_drive_grab(infos_[0].drive, 1) == 1;
        return grabbed_ ? CDRW_SUCCESS : CDRW_NOT_PRESENT;
    }
    dropDrives();
    std::string device = config_.device;
    if (burn_drive_scan_and_grab(&infos_, device.data(), 1) != 1) {
        infos_ = nullptr;
        std::cerr << kCannotGrab << config_.device << '\n';
        return CDRW_NOT_PRESENT;
    }
    infoCount_ = 1;
    namedDevice_ = config_.device;
    driveIndex_ = 0;
    grabbed_ = true;
    drive_ = infos_[0].drive;
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::start(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    std::lock_guard lock(mutex_);
    if (writing_) return CDRW_ALREADY_STARTED;
    started_ = false;
    refreshConfig();
    if (!config_.drivePresent || !initialize()) return CDRW_NOT_PRESENT;
    const int32_t status = config_.device.empty() ? grabScannedDrive(hostAdapter, target, lun)
                                                  : grabNamedDevice(hostAdapter, target, lun);
    if (status != CDRW_SUCCESS) return status;
    started_ = true;
    ejected_ = false;
    underrunProtection_ = true;
    readSpeed_ = config_.readSpeed;
    writeSpeed_ = config_.highestWriteSpeed();
    return CDRW_SUCCESS;
}

bool LibburnRecorder::pseudoDrive() const {
    return burn_drive_get_drive_role(drive_) != kMmcDriveRole;
}

bool LibburnRecorder::discPresent() {
    if (ejected_ || !grabbed_) return false;
    const burn_disc_status status = burn_disc_get_status(drive_);
    return status != BURN_DISC_EMPTY && status != BURN_DISC_UNSUITABLE &&
           status != BURN_DISC_UNGRABBED;
}

bool LibburnRecorder::discBlank() {
    if (burn_disc_get_status(drive_) != BURN_DISC_BLANK) return false;
    // libburn treats a file like overwritable media, always blank; here it is
    // a CD-R, blank only while empty, as the virtual recorder's disc.
    if (burn_drive_get_drive_role(drive_) != kRandomAccessFileRole) return true;
    std::error_code error;
    const std::string path = config_.device.substr(std::string(kStdioPrefix).size());
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error || size == 0;
}

int32_t LibburnRecorder::isDiscBlank(DiscFlags& flags) {
    std::lock_guard lock(mutex_);
    flags = DiscFlags{};
    if (!started_) return CDRW_NOT_STARTED;
    if (!discPresent()) return CDRW_NO_BLANK_DISC;
    flags.ready = burn_disc_get_status(drive_) != BURN_DISC_UNREADY;
    flags.blank = flags.ready && discBlank();
    flags.rewritable = burn_disc_erasable(drive_) == 1;
    return CDRW_SUCCESS;
}

void LibburnRecorder::waitUntilIdle(const WriteRequest* request) {
    burn_drive* drive = drive_;
    while (burn_drive_get_status(drive, nullptr) == BURN_DRIVE_SPAWNING)
        std::this_thread::sleep_for(kPollStep);
    uint64_t signalled = 0;
    bool cancelSent = false;
    burn_progress progress{};
    while (burn_drive_get_status(drive, &progress) != BURN_DRIVE_IDLE) {
        if (cancelled_ && !cancelSent) {
            burn_drive_cancel(drive);
            cancelSent = true;
        }
        if (request != nullptr && progress.sector > 0) {
            const auto written = static_cast<uint64_t>(progress.sector);
            while (signalled + request->interval <= written) {
                signalled += request->interval;
                request->signal.raise();
            }
        }
        std::this_thread::sleep_for(kPollStep);
    }
    if (request == nullptr || cancelled_) return;
    // The last steps libburn took between two polls.
    const uint64_t sectors = TrackBytes(request->tracks) / CDRW_SECTOR_SIZE;
    while (signalled + request->interval <= sectors) {
        signalled += request->interval;
        request->signal.raise();
    }
}

int32_t LibburnRecorder::blankDisc(int32_t mode) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!discPresent()) return CDRW_NO_BLANK_DISC;
    if (burn_disc_erasable(drive_) != 1) return CDRW_FEATURE_NOT_SUPPORTED;
    // Mode 0 erases the table of contents only.
    burn_disc_erase(drive_, mode == 0 ? 1 : 0);
    waitUntilIdle(nullptr);
    burn_drive_re_assess(drive_, 0);
    return burn_disc_get_status(drive_) == BURN_DISC_BLANK ? CDRW_SUCCESS : CDRW_BAD_RESPONSE;
}

int32_t LibburnRecorder::setSpeeds(uint16_t read, uint16_t write) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    // 0 asks libburn for the highest speed, as it asks the engine.
    burn_drive_set_speed(drive_, read, write);
    readSpeed_ = config_.offeredReadSpeed(read);
    writeSpeed_ = config_.offeredWriteSpeed(write);
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::getSpeeds(SpeedReport& speeds) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    speeds.read = SpeedValue(burn_drive_get_read_speed(drive_));
    speeds.currentWrite = SpeedValue(burn_drive_get_write_speed(drive_));
    speeds.highestRead = speeds.read;
    speeds.highestWrite = speeds.currentWrite;
    burn_speed_descriptor* list = nullptr;
    if (burn_drive_get_speedlist(drive_, &list) == 1) {
        for (const burn_speed_descriptor* item = list; item != nullptr; item = item->next) {
            speeds.highestRead = std::max(speeds.highestRead, SpeedValue(item->read_speed));
            speeds.highestWrite = std::max(speeds.highestWrite, SpeedValue(item->write_speed));
        }
        burn_drive_free_speedlist(&list);
    }
    // A file has no speeds; a pseudo-drive offers the configured ones.
    if (pseudoDrive() && speeds.highestWrite == 0)
        speeds =
            SpeedReport{readSpeed_, writeSpeed_, config_.readSpeed, config_.highestWriteSpeed()};
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::unload() {
    if (!started_) return CDRW_NOT_STARTED;
    ejected_ = true;
    if (writing_) {
        // The write polls this and cancels; the drive is released after it.
        cancelled_ = true;
        return CDRW_SUCCESS;
    }
    std::lock_guard lock(mutex_);
    if (grabbed_ && !pseudoDrive()) {
        burn_drive_release(drive_, 1);
        grabbed_ = false;
    }
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::load() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!grabbed_) grabbed_ = burn_drive_grab(drive_, 1) == 1;
    ejected_ = !grabbed_;
    return grabbed_ ? CDRW_SUCCESS : CDRW_TIMEOUT;
}

int32_t LibburnRecorder::sendOpc() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    // libburn calibrates the laser at the start of each write.
    return discPresent() ? CDRW_SUCCESS : CDRW_NO_BLANK_DISC;
}

int32_t LibburnRecorder::isDeviceReady() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!discPresent() || burn_disc_get_status(drive_) == BURN_DISC_UNREADY) return CDRW_TIMEOUT;
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::burnProofControl(int32_t request) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    const WriteOptions options(drive_);
    if (burn_write_opts_set_underrun_proof(options.get(), 1) != 1)
        return CDRW_FEATURE_NOT_SUPPORTED;
    if (request != CDRW_BURNPROOF_QUERY) underrunProtection_ = request == CDRW_BURNPROOF_ON;
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::vendorProduct(std::string& vendor, std::string& product) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    vendor = TrimmedText(infos_[driveIndex_].vendor);
    product = TrimmedText(infos_[driveIndex_].product);
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::writeModes(WriteModeFlags& modes) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    const burn_drive_info& info = infos_[driveIndex_];
    modes.trackAtOnce = (info.tao_block_types & BURN_BLOCK_MODE1) != 0;
    // libburn's session-at-once writes the whole disc at once on a CD.
    modes.sessionAtOnce = (info.sao_block_types & BURN_BLOCK_SAO) != 0;
    modes.discAtOnce = modes.sessionAtOnce;
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::writeAudio(const WriteRequest&) {
    return started_ ? CDRW_UNSUPPORTED_WRITE_MODE : CDRW_NOT_STARTED;
}

int32_t LibburnRecorder::writeData(const WriteRequest& request) {
    {
        std::lock_guard lock(mutex_);
        if (!started_) return CDRW_NOT_STARTED;
        if (!discPresent() || !discBlank()) return CDRW_NO_BLANK_DISC;
        if ((infos_[driveIndex_].tao_block_types & BURN_BLOCK_MODE1) == 0)
            return CDRW_UNSUPPORTED_WRITE_MODE;
        cancelled_ = false;
        writing_ = true;
    }
    const int32_t status = burnTrack(request);
    writing_ = false;
    if (status != CDRW_SUCCESS || request.testOnly || !config_.verify) return status;
    std::lock_guard lock(mutex_);
    return verifyTrack(request);
}

int32_t LibburnRecorder::burnTrack(const WriteRequest& request) {
    burn_drive* drive = drive_;
    const WriteOptions options(drive);
    burn_write_opts_set_write_type(options.get(), BURN_WRITE_TAO, BURN_BLOCK_MODE1);
    burn_write_opts_set_simulate(options.get(), request.testOnly ? 1 : 0);
    burn_write_opts_set_underrun_proof(options.get(), underrunProtection_ ? 1 : 0);
    burn_write_opts_set_multi(options.get(), 0);

    const off_t room = burn_disc_available_space(drive, options.get());
    if (room > 0 && static_cast<uint64_t>(room) < TrackBytes(request.tracks))
        return CDRW_DISC_TOO_SMALL;
    // libburn writes a file as fast as the disk allows; a pseudo-drive is
    // paced at the speed set, as the virtual recorder is.
    std::optional<TrackPace> pace;
    if (pseudoDrive()) pace = TrackPace{config_.timeScale, writeSpeed_};
    burn_source* source = NewTrackSource(request.tracks, pace, cancelled_);
    if (source == nullptr) return CDRW_OUT_OF_MEMORY;
    const DataDisc disc(source);

    char reasons[BURN_REASONS_LEN] = {};
    if (burn_precheck_write(options.get(), disc.disc(), reasons, 0) <= 0) {
        std::cerr << kWriteRefused << reasons << '\n';
        return CDRW_UNSUPPORTED_WRITE_MODE;
    }
    burn_disc_write(options.get(), disc.disc());
    waitUntilIdle(&request);
    if (cancelled_) return CDRW_TERMINATED;
    return burn_drive_wrote_well(drive) == 1 ? CDRW_SUCCESS : CDRW_BAD_RESPONSE;
}

int32_t LibburnRecorder::verifyTrack(const WriteRequest& request) {
    // The drive learns about the new track before it reads it.
    burn_drive_re_assess(drive_, 0);
    burn_drive* drive = drive_;
    return VerifyWrittenTrack(request.tracks, [drive](uint64_t offset, char* data, size_t size) {
        off_t count = 0;
        return burn_read_data(drive, static_cast<off_t>(offset), data, static_cast<off_t>(size),
                              &count, 0) == 1 &&
               count == static_cast<off_t>(size);
    });
}

} // namespace qv::engine
