#include "LibburnRecorder.h"

#include "CdRwLib.h"
#include "DiscVerify.h"
#include "LibburnMessages.h"
#include "LibburnThreads.h"
#include "LibburnTrackSource.h"
#include "PseudoDrive.h"
#include "SpeedUnits.h"
#include "TrackStream.h"
#include "WritePace.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

namespace qv::engine {

using namespace burn;

namespace {

constexpr const char* kCannotStart = "CdRwLib: libburn cannot be started";
constexpr const char* kCannotGrab = "CdRwLib: cannot use the drive ";
constexpr const char* kReasonFollows = ": ";
constexpr const char* kWriteRefused = "CdRwLib: libburn refuses the write: ";
constexpr int kMmcDriveRole = 1;
constexpr auto kPollStep = std::chrono::milliseconds(20);
// How long an unload waits for a cancelled write to stop.
constexpr auto kWritePatience = std::chrono::seconds(30);
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
    // Bytes libburn wrote of the track; read once its job has ended.
    uint64_t writtenBytes() const {
        off_t read = 0, written = 0;
        burn_track_get_counters(track_, &read, &written);
        return written > 0 ? static_cast<uint64_t>(written) : 0;
    }

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

DiscState StateOf(burn_disc_status status) {
    switch (status) {
    case BURN_DISC_BLANK:
        return DiscState::Blank;
    case BURN_DISC_EMPTY:
        return DiscState::Empty;
    case BURN_DISC_APPENDABLE:
        return DiscState::Appendable;
    case BURN_DISC_FULL:
        return DiscState::Full;
    case BURN_DISC_UNSUITABLE:
        return DiscState::Unsuitable;
    default:
        return DiscState::Unknown;
    }
}

// Waits until libburn's job on the drive has ended, and with it libburn's
// thread. libburn.h on aborting: "call burn_drive_cancel() on the active
// drives and wait for them to assume state BURN_DRIVE_IDLE"; the thread
// itself still runs a few steps after that, so the wait goes on until it has
// left libburn's code, and it is joined.
template <typename OnProgress>
void WaitForJob(burn_drive* drive, const std::atomic<bool>& cancel, OnProgress onProgress) {
    burn_progress progress{};
    for (;;) {
        const burn_drive_status status = burn_drive_get_status(drive, &progress);
        if (status == BURN_DRIVE_IDLE && !LibburnThreadsRunning()) break;
        // "This will only work when the drive's busy state is
        // BURN_DRIVE_READING or BURN_DRIVE_WRITING": asked again until then.
        if (cancel && (status == BURN_DRIVE_READING || status == BURN_DRIVE_WRITING))
            burn_drive_cancel(drive);
        onProgress(progress);
        std::this_thread::sleep_for(kPollStep);
    }
    JoinLibburnThreads();
}

// Sets the caller's event once for every interval of sectors written, and
// never for a sector that was not.
class SectorSignals {
public:
    explicit SectorSignals(const WriteRequest& request) : request_(request) {}
    void upTo(uint64_t sectors) {
        while (signalled_ + request_.interval <= sectors) {
            signalled_ += request_.interval;
            request_.signal.raise();
        }
    }

private:
    const WriteRequest& request_;
    uint64_t signalled_ = 0;
};

} // namespace

LibburnRecorder::~LibburnRecorder() {
    // Unloaded (or the process ending) during a write: it is cancelled and
    // left to stop, so that libburn does not keep the drive busy.
    cancelled_ = true;
    for (auto waited = std::chrono::milliseconds(0); writing_ && waited < kWritePatience;
         waited += kPollStep)
        std::this_thread::sleep_for(kPollStep);
    // The drive is let go (its tray unlocked) when the engine is unloaded.
    // burn_finish() is left out: it flushes every stdio stream, which blocks
    // while the applet's input thread waits on standard input.
    std::lock_guard lock(mutex_);
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
    // burn_initialize() installs no signal handler (libburn's own is only
    // set up by burn_set_signal_handling(), never called here): the host
    // process keeps its handlers and cancels through Unload.
    if (burn_initialize() != 1) {
        std::cerr << kCannotStart << '\n';
        return false;
    }
    QueueLibburnMessages();
    initialized_ = true;
    return true;
}

void LibburnRecorder::dropDrives() {
    if (erasing_) {
        // An erase cannot be cancelled; the library stays until it ends.
        const std::atomic<bool> noCancel{false};
        WaitForJob(drive_, noCancel, [](const burn_progress&) {});
        erasing_ = false;
    }
    const int eject = ejectAfterErase_ && drive_ != nullptr && !pseudoDrive() ? 1 : 0;
    ejectAfterErase_ = false;
    burn_drive* drive = drive_.exchange(nullptr);
    if (drive != nullptr && grabbed_) burn_drive_release(drive, eject);
    grabbed_ = false;
    // Forgetting frees libburn's memory of each drive and its lock.
    for (unsigned int index = 0; infos_ != nullptr && index < infoCount_; ++index)
        burn_drive_info_forget(&infos_[index], 0);
    if (infos_ != nullptr) burn_drive_info_free(infos_);
    infos_ = nullptr;
    infoCount_ = 0;
    scanned_ = false;
    othersForgotten_ = false;
    addresses_.clear();
    namedDevice_.clear();
    started_ = false;
    JoinLibburnThreads();
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
    JoinLibburnThreads();
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

// libburn.h on burn_drive_scan(): "you are *strongly urged* to drop any
// unintended drive which will be exclusively occupied ... Another way is to
// drop the unwanted drives by burn_drive_info_forget()".
void LibburnRecorder::forgetOtherDrives() {
    for (unsigned int index = 0; index < infoCount_; ++index)
        if (index != driveIndex_) burn_drive_info_forget(&infos_[index], 0);
    othersForgotten_ = true;
}

int32_t LibburnRecorder::grabScannedDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    // Another address than the kept drive's: the forgotten drives are
    // scanned again.
    if (othersForgotten_ && DriveAtAddress(addresses_, hostAdapter, target, lun) != driveIndex_)
        dropDrives();
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
    forgetOtherDrives();
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::grabNamedDevice(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    // A named drive answers at the configured address, like the virtual one.
    if (hostAdapter != config_.hostAdapter || target != config_.target || lun != 0)
        return CDRW_NOT_PRESENT;
    if (config_.device.starts_with(kStdioPrefix)) {
        const std::string fault = PseudoDriveFault(PseudoDrivePath(config_.device));
        if (!fault.empty()) {
            std::cerr << kCannotGrab << config_.device << kReasonFollows << fault << '\n';
            return CDRW_NOT_PRESENT;
        }
    }
    if (namedDevice_ == config_.device && infos_ != nullptr) {
        if (!grabbed_) grabbed_ = burn_drive_grab(infos_[0].drive, 1) == 1;
        return grabbed_ ? CDRW_SUCCESS : CDRW_NOT_PRESENT;
    }
    dropDrives();
    std::string device = config_.device;
    const bool grabbed = burn_drive_scan_and_grab(&infos_, device.data(), 1) == 1;
    JoinLibburnThreads();
    if (!grabbed) {
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
    if (writing_ || !settleErase()) return CDRW_ALREADY_STARTED;
    started_ = false;
    refreshConfig();
    if (!config_.drivePresent || !initialize()) return CDRW_NOT_PRESENT;
    const int32_t status = config_.device.empty() ? grabScannedDrive(hostAdapter, target, lun)
                                                  : grabNamedDevice(hostAdapter, target, lun);
    PrintLibburnMessages(false);
    if (status != CDRW_SUCCESS) return status;
    started_ = true;
    ejected_ = false;
    unloaded_ = false;
    underrunProtection_ = true;
    readSpeed_ = config_.readSpeed;
    writeSpeed_ = config_.highestWriteSpeed();
    requestedRead_ = 0;
    requestedWrite_ = 0;
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

Medium LibburnRecorder::medium() {
    Medium medium;
    medium.pseudoDrive = pseudoDrive();
    medium.state = StateOf(burn_disc_get_status(drive_));
    char name[80] = {};
    if (burn_disc_get_profile(drive_, &medium.profile, name) != 1) medium.profile = 0;
    // libburn treats a file like overwritable media, always blank; here it
    // is a CD-R, blank only while empty, as the virtual recorder's disc.
    if (medium.pseudoDrive && config_.device.starts_with(kStdioPrefix))
        medium.emptyRegularFile = EmptyRegularFile(PseudoDrivePath(config_.device));
    return medium;
}

// False while libburn still erases; once it has ended, its thread is joined
// and the drive looks at the disc again.
bool LibburnRecorder::settleErase() {
    if (!erasing_) return true;
    if (burn_drive_get_status(drive_, nullptr) != BURN_DRIVE_IDLE || LibburnThreadsRunning())
        return false;
    JoinLibburnThreads();
    erasing_ = false;
    burn_drive_re_assess(drive_, 0);
    PrintLibburnMessages(false);
    if (ejectAfterErase_) eject();
    ejectAfterErase_ = false;
    return true;
}

int32_t LibburnRecorder::isDiscBlank(DiscFlags& flags) {
    std::lock_guard lock(mutex_);
    flags = DiscFlags{};
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) {
        flags.rewritable = true; // an erase runs: a CD-RW, not ready yet
        return CDRW_SUCCESS;
    }
    if (!discPresent()) return CDRW_NO_BLANK_DISC;
    flags.ready = burn_disc_get_status(drive_) != BURN_DISC_UNREADY;
    const Medium disc = medium();
    flags.blank = flags.ready && JudgeMedium(disc) == MediumVerdict::Blank;
    flags.rewritable = ReportsRewritable(disc);
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::blankDisc(int32_t mode) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) return CDRW_TIMEOUT;
    if (!discPresent()) return CDRW_NO_BLANK_DISC;
    // libburn.h on burn_disc_erase(): "Always ensure that the drive reports a
    // status of BURN_DISC_FULL before calling this function"; an appendable
    // CD-RW holds data as well. Only a used CD-RW is erased.
    if (JudgeMedium(medium()) != MediumVerdict::UsedRewritable || burn_disc_erasable(drive_) != 1)
        return CDRW_FEATURE_NOT_SUPPORTED;
    // libburn erases on its own thread; IsDiscBlank reports the drive not
    // ready until it has ended. Mode 0 erases the table of contents only.
    burn_disc_erase(drive_, mode == 0 ? 1 : 0);
    erasing_ = true;
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::setSpeeds(uint16_t read, uint16_t write) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) return CDRW_TIMEOUT;
    // 0 asks libburn for the highest speed, as it asks the engine.
    requestedRead_ = LibburnSpeed(read);
    requestedWrite_ = LibburnSpeed(write);
    burn_drive_set_speed(drive_, requestedRead_, requestedWrite_);
    readSpeed_ = config_.offeredReadSpeed(read);
    writeSpeed_ = write == 0 ? config_.highestWriteSpeed() : config_.offeredWriteSpeed(write);
    return CDRW_SUCCESS;
}

namespace {

// The speed a drive set to goal (0: the highest) runs at: libburn.h, on
// burn_drive_get_best_speed(), "Look up the fastest speed descriptor which
// is not faster than the given speed_goal"; below the slowest, the slowest.
uint16_t SpeedInEffect(burn_drive* drive, int goal, int readFlag) {
    burn_speed_descriptor* best = nullptr;
    if (burn_drive_get_best_speed(drive, goal, &best, readFlag) <= 0 || best == nullptr)
        if (burn_drive_get_best_speed(drive, -1, &best, readFlag) <= 0 || best == nullptr) return 0;
    return SpeedValue(readFlag != 0 ? best->read_speed : best->write_speed);
}

} // namespace

int32_t LibburnRecorder::getSpeeds(SpeedReport& speeds) {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) return CDRW_TIMEOUT;
    // A file has no speeds; a pseudo-drive offers the configured ones.
    if (pseudoDrive()) {
        speeds =
            SpeedReport{readSpeed_, writeSpeed_, config_.readSpeed, config_.highestWriteSpeed()};
        return CDRW_SUCCESS;
    }
    // burn_drive_get_write_speed() is, by libburn.h, "the maximum write
    // speed"; the current speeds are those the drive's list gives for the
    // speeds set.
    constexpr int kReadSpeed = 1;
    speeds.highestRead = SpeedValue(burn_drive_get_read_speed(drive_));
    speeds.highestWrite = SpeedValue(burn_drive_get_write_speed(drive_));
    speeds.read = SpeedInEffect(drive_, requestedRead_, kReadSpeed);
    speeds.currentWrite = SpeedInEffect(drive_, requestedWrite_, 0);
    if (speeds.read == 0) speeds.read = speeds.highestRead;
    if (speeds.currentWrite == 0) speeds.currentWrite = speeds.highestWrite;
    speeds.highestRead = std::max(speeds.highestRead, speeds.read);
    speeds.highestWrite = std::max(speeds.highestWrite, speeds.currentWrite);
    return CDRW_SUCCESS;
}

// Callers hold mutex_ and no job runs.
void LibburnRecorder::eject() {
    if (grabbed_ && !pseudoDrive()) {
        burn_drive_release(drive_, 1);
        grabbed_ = false;
    }
}

int32_t LibburnRecorder::unload() {
    // The lock is never held for long: a write or an erase runs without it.
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    ejected_ = true;
    unloaded_ = true;
    if (writing_) {
        // The write polls this and cancels; it ejects once it has ended.
        cancelled_ = true;
        return CDRW_SUCCESS;
    }
    if (!settleErase()) {
        ejectAfterErase_ = true;
        return CDRW_SUCCESS;
    }
    eject();
    return CDRW_SUCCESS;
}

int32_t LibburnRecorder::load() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) return CDRW_TIMEOUT;
    if (!grabbed_) grabbed_ = burn_drive_grab(drive_, 1) == 1;
    ejected_ = !grabbed_;
    unloaded_ = false;
    return grabbed_ ? CDRW_SUCCESS : CDRW_TIMEOUT;
}

int32_t LibburnRecorder::sendOpc() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) return CDRW_TIMEOUT;
    // libburn calibrates the laser at the start of each write.
    return discPresent() ? CDRW_SUCCESS : CDRW_NO_BLANK_DISC;
}

int32_t LibburnRecorder::isDeviceReady() {
    std::lock_guard lock(mutex_);
    if (!started_) return CDRW_NOT_STARTED;
    if (!settleErase()) return CDRW_TIMEOUT;
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
        if (!settleErase()) return CDRW_TIMEOUT;
        // The caller cancelled (Unload) before its write began.
        if (unloaded_) return CDRW_TERMINATED;
        if (!discPresent() || JudgeMedium(medium()) != MediumVerdict::Blank)
            return CDRW_NO_BLANK_DISC;
        if ((infos_[driveIndex_].tao_block_types & BURN_BLOCK_MODE1) == 0)
            return CDRW_UNSUPPORTED_WRITE_MODE;
        cancelled_ = false;
        writing_ = true;
    }
    // Both return only once libburn's threads have ended.
    int32_t status = burnTrack(request);
    if (status == CDRW_SUCCESS && !request.testOnly && config_.verify)
        status = verifyTrack(request);
    std::lock_guard lock(mutex_);
    writing_ = false;
    // What libburn says about a write the user cancelled is no news to them.
    PrintLibburnMessages(cancelled_);
    if (cancelled_) {
        eject();
        return CDRW_TERMINATED;
    }
    return status;
}

int32_t LibburnRecorder::burnTrack(const WriteRequest& request) {
    burn_drive* drive = drive_;
    const WriteOptions options(drive);
    burn_write_opts_set_write_type(options.get(), BURN_WRITE_TAO, BURN_BLOCK_MODE1);
    burn_write_opts_set_simulate(options.get(), request.testOnly ? 1 : 0);
    burn_write_opts_set_underrun_proof(options.get(), underrunProtection_ ? 1 : 0);
    burn_write_opts_set_multi(options.get(), 0);

    const uint64_t bytes = TrackBytes(request.tracks);
    const off_t room = burn_disc_available_space(drive, options.get());
    if (room > 0 && static_cast<uint64_t>(room) < bytes) return CDRW_DISC_TOO_SMALL;
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
    if (cancelled_) return CDRW_TERMINATED;
    SectorSignals signals(request);
    burn_disc_write(options.get(), disc.disc());
    WaitForJob(drive, cancelled_, [&signals](const burn_progress& progress) {
        if (progress.sector > 0) signals.upTo(static_cast<uint64_t>(progress.sector));
    });
    // The disc (and the source libburn read) is freed only now.
    const bool wroteWell = burn_drive_wrote_well(drive) == 1;
    const uint64_t total = bytes / CDRW_SECTOR_SIZE;
    signals.upTo(wroteWell ? total : std::min(total, disc.writtenBytes() / CDRW_SECTOR_SIZE));
    if (cancelled_) return CDRW_TERMINATED;
    return wroteWell ? CDRW_SUCCESS : CDRW_BAD_RESPONSE;
}

int32_t LibburnRecorder::verifyTrack(const WriteRequest& request) {
    burn_drive* drive = drive_;
    {
        // The drive learns about the new track before it reads it.
        std::lock_guard lock(mutex_);
        burn_drive_re_assess(drive, 0);
    }
    // A file reads back as fast as the disk allows; a pseudo-drive's read is
    // paced at its read speed, as its write is.
    std::optional<WritePace> pace;
    if (pseudoDrive() && config_.timeScale > 0 && readSpeed_ > 0)
        pace.emplace(config_.timeScale, readSpeed_);
    const std::atomic<bool>& stop = cancelled_;
    const DiscReader read = [drive, &pace, &stop](uint64_t offset, char* data, size_t size) {
        if (pace) {
            const auto due = pace->deadlineAfter((offset + size) / CDRW_SECTOR_SIZE);
            while (!stop && std::chrono::steady_clock::now() < due)
                std::this_thread::sleep_for(kPollStep);
        }
        off_t count = 0;
        return !stop &&
               burn_read_data(drive, static_cast<off_t>(offset), data, static_cast<off_t>(size),
                              &count, 0) == 1 &&
               count == static_cast<off_t>(size);
    };
    return VerifyWrittenTrack(request.tracks, read, &stop);
}

} // namespace qv::engine
