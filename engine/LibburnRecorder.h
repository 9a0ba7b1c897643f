#pragma once
// Real recorders through libburn: a drive the configuration names (a device
// file or a "stdio:PATH" pseudo-drive) or, without one, the system's drives
// at their SCSI addresses. libburn's own messages go to the error output.

#include "MediaDecision.h"
#include "Recorder.h"
#include "RecorderConfig.h"
#include "ScsiAddress.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// libburn declares its C interface inside this namespace.
namespace burn {
struct burn_drive;
struct burn_drive_info;
} // namespace burn

namespace qv::engine {

using burn::burn_drive;
using burn::burn_drive_info;

class LibburnRecorder final : public Recorder {
public:
    ~LibburnRecorder() override;

    int32_t start(uint8_t hostAdapter, uint8_t target, uint8_t lun) override;
    int32_t blankDisc(int32_t mode) override;
    int32_t isDiscBlank(DiscFlags& flags) override;
    int32_t setSpeeds(uint16_t read, uint16_t write) override;
    int32_t getSpeeds(SpeedReport& speeds) override;
    int32_t unload() override;
    int32_t load() override;
    int32_t sendOpc() override;
    int32_t isDeviceReady() override;
    int32_t burnProofControl(int32_t request) override;
    int32_t vendorProduct(std::string& vendor, std::string& product) override;
    int32_t writeModes(WriteModeFlags& modes) override;
    int32_t writeData(const WriteRequest& request) override;
    int32_t writeAudio(const WriteRequest& request) override;
    void release() override;

private:
    // Callers hold mutex_.
    void refreshConfig();
    bool initialize();
    int32_t grabNamedDevice(uint8_t hostAdapter, uint8_t target, uint8_t lun);
    int32_t grabScannedDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun);
    bool scanDrives();
    void forgetOtherDrives();
    void dropDrives();
    void eject();
    bool pseudoDrive() const;
    bool discPresent();
    Medium medium();
    bool settleErase();
    int32_t burnTrack(const WriteRequest& request);
    int32_t verifyTrack(const WriteRequest& request);

    std::mutex mutex_; // held for short drive calls only, never for a write or an erase
    RecorderConfig config_;
    std::string configIdentity_;
    bool configured_ = false;
    bool initialized_ = false;

    burn_drive_info* infos_ = nullptr; // the scan's array, or the named device's
    unsigned int infoCount_ = 0;
    bool scanned_ = false;
    bool othersForgotten_ = false;                      // the scan's other drives are let go
    std::vector<std::optional<ScsiAddress>> addresses_; // of the scanned drives
    std::string namedDevice_;                           // the device infos_ holds
    size_t driveIndex_ = 0;
    bool grabbed_ = false;
    bool erasing_ = false;         // libburn's erase job may still run
    bool ejectAfterErase_ = false; // Unload came during the erase

    bool underrunProtection_ = true;
    uint16_t readSpeed_ = 0; // pseudo-drives: the speeds set
    uint16_t writeSpeed_ = 0;
    int requestedRead_ = 0; // real drives: libburn's speeds asked for, 0 the highest
    int requestedWrite_ = 0;

    // Read by a running write without mutex_.
    std::atomic<bool> started_{false};
    std::atomic<bool> ejected_{false};
    std::atomic<bool> unloaded_{false}; // Unload since the last Start or Load
    std::atomic<bool> writing_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<burn_drive*> drive_{nullptr};
};

} // namespace qv::engine
