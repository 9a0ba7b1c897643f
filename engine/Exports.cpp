// The sixteen exported entries: argument checks and the job record here,
// everything else in the back end. No exception may cross the C boundary.

#include "BurnJobReader.h"
#include "CdRwLib.h"
#include "Recorder.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

using qv::engine::ActiveRecorder;

namespace {

constexpr const char* kInternalFailure = "CdRwLib: internal failure: ";

template <typename Call> int32_t Guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return CDRW_OUT_OF_MEMORY;
    } catch (const std::exception& failure) {
        std::cerr << kInternalFailure << failure.what() << '\n';
        return CDRW_GENERAL_FAILURE;
    }
}

void CopyText(const std::string& text, char* buffer) {
    const size_t length = std::min(text.size(), static_cast<size_t>(CDRW_TEXT_BUFFER_SIZE - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

uint32_t Flag(bool value) {
    return value ? 1u : 0u;
}

// Checks the arguments shared by the four writers and builds the request.
int32_t PrepareWrite(const BurnJob* job, int32_t interval, CdRwEvent* event, uint32_t testFlag,
                     qv::engine::WriteRequest& request) {
    if (job == nullptr || event == nullptr || interval <= 0) return CDRW_BAD_PARAMETER;
    const int32_t status = qv::engine::ReadBurnJob(*job, request.tracks);
    if (status != CDRW_SUCCESS) return status;
    request.interval = static_cast<uint32_t>(interval);
    request.signal = qv::engine::ProgressSignal(*event);
    request.testOnly = testFlag != 0;
    return CDRW_SUCCESS;
}

int32_t WriteAudio(const BurnJob* job, int32_t interval, CdRwEvent* event, uint32_t testFlag) {
    return Guarded([&] {
        qv::engine::WriteRequest request;
        const int32_t status = PrepareWrite(job, interval, event, testFlag, request);
        return status == CDRW_SUCCESS ? ActiveRecorder().writeAudio(request) : status;
    });
}

} // namespace

extern "C" {

CDRW_API int32_t CDRW_CALL Start(uint8_t hostAdapter, uint8_t target, uint8_t lun, uint8_t,
                                 uint32_t bufferSize) {
    if (bufferSize == 0) return CDRW_BAD_PARAMETER;
    return Guarded([&] { return ActiveRecorder().start(hostAdapter, target, lun); });
}

CDRW_API int32_t CDRW_CALL BlankDisc(int32_t mode) {
    // 1 erases the whole disc, 0 only its table of contents; both end blank.
    if (mode != 0 && mode != 1) return CDRW_BAD_PARAMETER;
    return Guarded([&] { return ActiveRecorder().blankDisc(mode); });
}

CDRW_API int32_t CDRW_CALL IsDiscBlank(uint32_t* blank, uint32_t* rewritable, uint32_t* ready) {
    if (blank == nullptr || rewritable == nullptr || ready == nullptr) return CDRW_BAD_PARAMETER;
    return Guarded([&] {
        qv::engine::DiscFlags flags;
        const int32_t status = ActiveRecorder().isDiscBlank(flags);
        *blank = Flag(flags.blank);
        *rewritable = Flag(flags.rewritable);
        *ready = Flag(flags.ready);
        return status;
    });
}

CDRW_API int32_t CDRW_CALL SetCdSpeeds(uint16_t readSpeed, uint16_t writeSpeed) {
    return Guarded([&] { return ActiveRecorder().setSpeeds(readSpeed, writeSpeed); });
}

CDRW_API int32_t CDRW_CALL GetCdSpeeds(uint16_t* readSpeed, uint16_t* currentWriteSpeed,
                                       uint16_t* highestReadSpeed, uint16_t* highestWriteSpeed) {
    if (readSpeed == nullptr || currentWriteSpeed == nullptr || highestReadSpeed == nullptr ||
        highestWriteSpeed == nullptr)
        return CDRW_BAD_PARAMETER;
    return Guarded([&] {
        qv::engine::SpeedReport speeds;
        const int32_t status = ActiveRecorder().getSpeeds(speeds);
        if (status != CDRW_SUCCESS) return status;
        *readSpeed = speeds.read;
        *currentWriteSpeed = speeds.currentWrite;
        *highestReadSpeed = speeds.highestRead;
        *highestWriteSpeed = speeds.highestWrite;
        return status;
    });
}

CDRW_API int32_t CDRW_CALL Unload(void) {
    return Guarded([] { return ActiveRecorder().unload(); });
}

CDRW_API int32_t CDRW_CALL Load(void) {
    return Guarded([] { return ActiveRecorder().load(); });
}

CDRW_API int32_t CDRW_CALL SendOpc(void) {
    return Guarded([] { return ActiveRecorder().sendOpc(); });
}

CDRW_API int32_t CDRW_CALL IsDeviceReady(void) {
    return Guarded([] { return ActiveRecorder().isDeviceReady(); });
}

CDRW_API int32_t CDRW_CALL BurnProofControl(int32_t request) {
    if (request != CDRW_BURNPROOF_QUERY && request != CDRW_BURNPROOF_OFF &&
        request != CDRW_BURNPROOF_ON)
        return CDRW_BAD_PARAMETER;
    return Guarded([&] { return ActiveRecorder().burnProofControl(request); });
}

CDRW_API int32_t CDRW_CALL GetVendorProductStrings(char* vendor, char* product) {
    if (vendor == nullptr || product == nullptr) return CDRW_BAD_PARAMETER;
    return Guarded([&] {
        std::string vendorText, productText;
        const int32_t status = ActiveRecorder().vendorProduct(vendorText, productText);
        if (status != CDRW_SUCCESS) return status;
        CopyText(vendorText, vendor);
        CopyText(productText, product);
        return status;
    });
}

CDRW_API int32_t CDRW_CALL GetSupportedWriteModes(uint32_t* trackAtOnce, uint32_t* sessionAtOnce,
                                                  uint32_t* discAtOnce) {
    if (trackAtOnce == nullptr || sessionAtOnce == nullptr || discAtOnce == nullptr)
        return CDRW_BAD_PARAMETER;
    return Guarded([&] {
        qv::engine::WriteModeFlags modes;
        const int32_t status = ActiveRecorder().writeModes(modes);
        if (status != CDRW_SUCCESS) return status;
        *trackAtOnce = Flag(modes.trackAtOnce);
        *sessionAtOnce = Flag(modes.sessionAtOnce);
        *discAtOnce = Flag(modes.discAtOnce);
        return status;
    });
}

CDRW_API int32_t CDRW_CALL WriteCdAudioTao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                           uint32_t testFlag) {
    return WriteAudio(job, interval, event, testFlag);
}

CDRW_API int32_t CDRW_CALL WriteCdAudioSao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                           uint32_t testFlag) {
    return WriteAudio(job, interval, event, testFlag);
}

CDRW_API int32_t CDRW_CALL WriteCdAudioDao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                           uint32_t testFlag) {
    return WriteAudio(job, interval, event, testFlag);
}

CDRW_API int32_t CDRW_CALL WriteCdDataTao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                          uint32_t testFlag) {
    return Guarded([&] {
        qv::engine::WriteRequest request;
        const int32_t status = PrepareWrite(job, interval, event, testFlag, request);
        return status == CDRW_SUCCESS ? ActiveRecorder().writeData(request) : status;
    });
}

} // extern "C"
