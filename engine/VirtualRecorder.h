#pragma once
// A file-backed CD-R/CD-RW drive. The disc is a file (missing or empty means
// blank); the device and its faults come from the configuration, which is
// read again whenever the disc may have changed, so a disc can be "swapped"
// between two calls by editing the file or the configuration.

#include "Recorder.h"
#include "RecorderConfig.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace qv::engine {

class VirtualRecorder final : public Recorder {
public:
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

private:
    using Clock = std::chrono::steady_clock;

    // Callers hold mutex_.
    void refreshConfig();
    void clampSpeeds();
    bool discInDrive() const;

    int32_t copySectors(const WriteRequest& request, const RecorderConfig& config, uint16_t speed);
    // Sleeps until the deadline; false when the disc was ejected meanwhile.
    bool pauseUntil(Clock::time_point deadline);

    std::mutex mutex_;
    RecorderConfig config_;
    std::string configIdentity_; // path and text of the configuration in force
    bool configured_ = false;
    uint16_t readSpeed_ = 0;
    uint16_t writeSpeed_ = 0;
    uint32_t notReadyAnswers_ = 0; // since Start or Load
    uint32_t busyAnswersLeft_ = 0; // after an erase

    // Unload must reach a running write without waiting for mutex_.
    std::atomic<bool> started_{false};
    std::atomic<bool> ejected_{false};
    std::mutex ejectMutex_;
    std::condition_variable ejectSignal_;
};

} // namespace qv::engine
