// Picks the back end at each Start: the one a configuration file names, or
// without a configuration the system's real drives (libburn on Linux, the
// system's burning service on Windows). The virtual recorder is only ever
// used when a configuration asks for it.

#include "Recorder.h"
#include "RecorderConfig.h"
#include "VirtualRecorder.h"
#ifdef QV_ENGINE_LIBBURN
#include "LibburnRecorder.h"
#endif
#ifdef QV_ENGINE_IMAPI2
#include "Imapi2Recorder.h"
#endif

#include "CdRwLib.h"

#include <atomic>
#include <iostream>
#include <mutex>
#include <sstream>

namespace qv::engine {

namespace {

constexpr const char* kUnreadableConfig = "CdRwLib: cannot read the configuration ";
constexpr const char* kSystemDrivesUsed = "; the system's drives are used";
constexpr const char* kNotInBuild = "CdRwLib: this back end is not part of this build: ";
[[maybe_unused]] constexpr const char* kLibburnName = "libburn";
[[maybe_unused]] constexpr const char* kImapi2Name = "imapi2";

// No recorder answers anywhere.
class NoRecorder final : public Recorder {
public:
    int32_t start(uint8_t, uint8_t, uint8_t) override { return CDRW_NOT_PRESENT; }
    int32_t blankDisc(int32_t) override { return CDRW_NOT_STARTED; }
    int32_t isDiscBlank(DiscFlags&) override { return CDRW_NOT_STARTED; }
    int32_t setSpeeds(uint16_t, uint16_t) override { return CDRW_NOT_STARTED; }
    int32_t getSpeeds(SpeedReport&) override { return CDRW_NOT_STARTED; }
    int32_t unload() override { return CDRW_NOT_STARTED; }
    int32_t load() override { return CDRW_NOT_STARTED; }
    int32_t sendOpc() override { return CDRW_NOT_STARTED; }
    int32_t isDeviceReady() override { return CDRW_NOT_STARTED; }
    int32_t burnProofControl(int32_t) override { return CDRW_NOT_STARTED; }
    int32_t vendorProduct(std::string&, std::string&) override { return CDRW_NOT_STARTED; }
    int32_t writeModes(WriteModeFlags&) override { return CDRW_NOT_STARTED; }
    int32_t writeData(const WriteRequest&) override { return CDRW_NOT_STARTED; }
    int32_t writeAudio(const WriteRequest&) override { return CDRW_NOT_STARTED; }
};

class BackEndSwitch final : public Recorder {
public:
    int32_t start(uint8_t hostAdapter, uint8_t target, uint8_t lun) override {
        {
            std::lock_guard lock(mutex_);
            Recorder* chosen = choose();
            Recorder* previous = active_.exchange(chosen);
            if (previous != chosen) previous->release();
        }
        return active_.load()->start(hostAdapter, target, lun);
    }
    int32_t blankDisc(int32_t mode) override { return active_.load()->blankDisc(mode); }
    int32_t isDiscBlank(DiscFlags& flags) override { return active_.load()->isDiscBlank(flags); }
    int32_t setSpeeds(uint16_t read, uint16_t write) override {
        return active_.load()->setSpeeds(read, write);
    }
    int32_t getSpeeds(SpeedReport& speeds) override { return active_.load()->getSpeeds(speeds); }
    // Reaches a running write without waiting for anything.
    int32_t unload() override { return active_.load()->unload(); }
    int32_t load() override { return active_.load()->load(); }
    int32_t sendOpc() override { return active_.load()->sendOpc(); }
    int32_t isDeviceReady() override { return active_.load()->isDeviceReady(); }
    int32_t burnProofControl(int32_t request) override {
        return active_.load()->burnProofControl(request);
    }
    int32_t vendorProduct(std::string& vendor, std::string& product) override {
        return active_.load()->vendorProduct(vendor, product);
    }
    int32_t writeModes(WriteModeFlags& modes) override { return active_.load()->writeModes(modes); }
    int32_t writeData(const WriteRequest& request) override {
        return active_.load()->writeData(request);
    }
    int32_t writeAudio(const WriteRequest& request) override {
        return active_.load()->writeAudio(request);
    }

private:
    Recorder* choose() {
        const ConfigFile file = ReadConfigFile();
        if (!file.named()) return systemDrives();
        if (!file.readable) {
            if (file.identity() != reported_)
                std::cerr << kUnreadableConfig << file.path << kSystemDrivesUsed << '\n';
            reported_ = file.identity();
            return systemDrives();
        }
        // The chosen back end reads the file again and reports its faults.
        std::ostringstream quiet;
        switch (ParseConfigFile(file, quiet).backEnd) {
        case BackEndKind::Virtual:
            return &virtual_;
        case BackEndKind::Libburn:
#ifdef QV_ENGINE_LIBBURN
            return &libburn_;
#else
            return missing(file, kLibburnName);
#endif
        case BackEndKind::Imapi2:
#ifdef QV_ENGINE_IMAPI2
            return &imapi2_;
#else
            return missing(file, kImapi2Name);
#endif
        }
        return &none_;
    }

    // A back end this build lacks: no recorder, said once per configuration.
    [[maybe_unused]] Recorder* missing(const ConfigFile& file, const char* name) {
        if (file.identity() != reported_) std::cerr << kNotInBuild << name << '\n';
        reported_ = file.identity();
        return &none_;
    }

    Recorder* systemDrives() {
#if defined(QV_ENGINE_LIBBURN)
        return &libburn_;
#elif defined(QV_ENGINE_IMAPI2)
        return &imapi2_;
#else
        return &none_;
#endif
    }

    std::mutex mutex_;
    std::string reported_; // the configuration last complained about
    NoRecorder none_;
    VirtualRecorder virtual_;
#ifdef QV_ENGINE_LIBBURN
    LibburnRecorder libburn_;
#endif
#ifdef QV_ENGINE_IMAPI2
    Imapi2Recorder imapi2_;
#endif
    std::atomic<Recorder*> active_{&none_};
};

} // namespace

Recorder& ActiveRecorder() {
    static BackEndSwitch recorder;
    return recorder;
}

} // namespace qv::engine
