// A stand-in engine for the binding tests. It records every call it gets and
// answers Start at one address only. Built three times: complete, without
// SendOpc (QV_OMIT_SENDOPC) and without an audio writer (QV_OMIT_AUDIO_DAO).

#include "engine/CdRwLib.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

std::string gLog;
uint8_t gAdapter = 1;
uint8_t gTarget = 0;

int32_t Record(const std::string& call) {
    gLog += call;
    gLog += '\n';
    return CDRW_SUCCESS;
}

std::string Numbers(std::initializer_list<long long> values) {
    std::string text(1, '(');
    for (long long value : values) {
        if (text.size() > 1) text += ',';
        text += std::to_string(value);
    }
    text += ')';
    return text;
}

} // namespace

extern "C" {

// Test hooks: the log so far (taken and cleared) and the recorder's address.
CDRW_API int32_t CDRW_CALL TestEngineTakeLog(char* buffer, uint32_t size) {
    const size_t length = std::min<size_t>(gLog.size(), size - 1);
    std::memcpy(buffer, gLog.data(), length);
    buffer[length] = '\0';
    gLog.clear();
    return static_cast<int32_t>(length);
}

CDRW_API void CDRW_CALL TestEngineSetAddress(uint8_t adapter, uint8_t target) {
    gAdapter = adapter;
    gTarget = target;
}

CDRW_API int32_t CDRW_CALL Start(uint8_t hostAdapter, uint8_t target, uint8_t lun,
                                 uint8_t memoryGrade, uint32_t bufferSize) {
    Record("Start" + Numbers({hostAdapter, target, lun, memoryGrade, bufferSize}));
    return hostAdapter == gAdapter && target == gTarget ? CDRW_SUCCESS : CDRW_NOT_PRESENT;
}

CDRW_API int32_t CDRW_CALL BlankDisc(int32_t mode) {
    return Record("BlankDisc" + Numbers({mode}));
}

CDRW_API int32_t CDRW_CALL IsDiscBlank(uint32_t*, uint32_t*, uint32_t*) {
    return Record("IsDiscBlank");
}

CDRW_API int32_t CDRW_CALL SetCdSpeeds(uint16_t readSpeed, uint16_t writeSpeed) {
    return Record("SetCdSpeeds" + Numbers({readSpeed, writeSpeed}));
}

CDRW_API int32_t CDRW_CALL GetCdSpeeds(uint16_t*, uint16_t*, uint16_t*, uint16_t*) {
    return Record("GetCdSpeeds");
}

CDRW_API int32_t CDRW_CALL Unload(void) {
    return Record("Unload");
}

CDRW_API int32_t CDRW_CALL Load(void) {
    return Record("Load");
}

#ifndef QV_OMIT_SENDOPC
CDRW_API int32_t CDRW_CALL SendOpc(void) {
    return Record("SendOpc");
}
#endif

CDRW_API int32_t CDRW_CALL IsDeviceReady(void) {
    return Record("IsDeviceReady");
}

CDRW_API int32_t CDRW_CALL BurnProofControl(int32_t request) {
    return Record("BurnProofControl" + Numbers({request}));
}

CDRW_API int32_t CDRW_CALL GetVendorProductStrings(char*, char*) {
    return Record("GetVendorProductStrings");
}

CDRW_API int32_t CDRW_CALL GetSupportedWriteModes(uint32_t*, uint32_t*, uint32_t*) {
    return Record("GetSupportedWriteModes");
}

CDRW_API int32_t CDRW_CALL WriteCdAudioTao(const BurnJob*, int32_t, CdRwEvent*, uint32_t) {
    return Record("WriteCdAudioTao");
}

CDRW_API int32_t CDRW_CALL WriteCdAudioSao(const BurnJob*, int32_t, CdRwEvent*, uint32_t) {
    return Record("WriteCdAudioSao");
}

#ifndef QV_OMIT_AUDIO_DAO
CDRW_API int32_t CDRW_CALL WriteCdAudioDao(const BurnJob*, int32_t, CdRwEvent*, uint32_t) {
    return Record("WriteCdAudioDao");
}
#endif

CDRW_API int32_t CDRW_CALL WriteCdDataTao(const BurnJob*, int32_t interval, CdRwEvent*,
                                          uint32_t testFlag) {
    return Record("WriteCdDataTao" + Numbers({interval, testFlag}));
}

} // extern "C"
