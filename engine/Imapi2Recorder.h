#pragma once
// Real recorders on Windows through the system's own burning service (IMAPI2,
// on XP SP2 with its update and on every Windows from Vista on), driven by
// name through IDispatch. Every object of the service lives on one thread of
// its own (com::Apartment); the entries hand their work to it, so that the
// applet's window thread and burn thread call them as they call any back end.
// Where the service is missing no recorder answers.

#include "Imapi2Dispatch.h"
#include "Recorder.h"
#include "RecorderConfig.h"

#include <atomic>
#include <exception>
#include <string>

namespace qv::engine {

class Imapi2Recorder final : public Recorder {
public:
    ~Imapi2Recorder() override;

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
    // Runs work on the service's thread; an exception there is raised again
    // here. fallback is the status when the thread cannot run it.
    template <typename Work> int32_t onServiceThread(int32_t fallback, Work work);

    // These run on the service's thread.
    void refreshConfig();
    int32_t openDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun);
    void dropDrive();
    int32_t mediumType(int32_t& type);
    int32_t judgeMedium(DiscFlags& flags);
    int32_t offeredSpeeds(std::vector<int32_t>& sectorsPerSecond);
    int32_t eraseNow(bool full);
    int32_t burn(const WriteRequest& request);
    int32_t burnHeld(const WriteRequest& request, uint64_t sectors);
    int32_t verify(const WriteRequest& request);

    com::Apartment apartment_; // declared first: it outlives the objects below
    com::Dispatch recorder_;   // MsftDiscRecorder2 of the drive in use
    com::Dispatch format_;     // MsftDiscFormat2Data bound to it
    RecorderConfig config_;
    std::string configIdentity_;
    std::string vendor_, product_;
    int32_t writeSpeed_ = 0; // sectors per second set; 0: the drive's highest

    std::atomic<bool> started_{false};
    std::atomic<bool> writing_{false};
    std::atomic<bool> erasing_{false};
    std::atomic<bool> cancelled_{false}; // Unload during (or just before) a write
    std::atomic<bool> ejectAfterWrite_{false};
    std::atomic<bool> underrunProtection_{true};
};

} // namespace qv::engine
