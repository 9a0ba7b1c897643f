#ifndef QV_ENGINE_CDRWLIB_H
#define QV_ENGINE_CDRWLIB_H
/*
 * The C ABI of the recorder engine "CdRwLib.dll", shared by the library and
 * the applet's binding. Every entry returns a 32-bit status, 1 meaning
 * success. Speeds are in kilobytes per second (176 = 1x); flags are 32-bit,
 * nonzero meaning true. Every entry is a plain C function: the calling
 * convention is fixed here once as __cdecl on Windows (what 32-bit C means by
 * default, and what a closed engine of that kind exports, undecorated; on
 * x86_64 there is only the one convention), the platform default elsewhere.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#define CDRW_CALL __cdecl
#ifdef CDRWLIB_BUILDING
#define CDRW_API __declspec(dllexport)
#else
#define CDRW_API
#endif
/* A manual-reset event HANDLE. */
typedef void* CdRwEvent;
#else
#define CDRW_CALL
#define CDRW_API __attribute__((visibility("default")))
/* An eventfd; reading it resets it. */
typedef int CdRwEvent;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes; their texts belong to the applet. */
enum CdRwStatus {
    CDRW_UNKNOWN = 0,
    CDRW_SUCCESS = 1,
    CDRW_GENERAL_FAILURE = 2,
    CDRW_DLL_LOAD_FAILED = 3,
    CDRW_DLL_ENTRY_MISSING = 4,
    CDRW_EVENT_FAILED = 5,
    CDRW_ASPI_FAILED = 6,
    CDRW_BAD_PARAMETER = 7,
    CDRW_ACF = 8,
    CDRW_UNSUPPORTED_DEVICE = 9,
    CDRW_SYSTEM_CALL_FAILED = 10,
    CDRW_NOT_STARTED = 11,
    CDRW_NO_BLANK_DISC = 12,
    CDRW_UNSUPPORTED_WRITE_MODE = 13,
    CDRW_BAD_RESPONSE = 14,
    CDRW_DISC_TOO_SMALL = 15,
    CDRW_TIMEOUT = 16,
    CDRW_SYNC_FAILED = 17,
    CDRW_OUT_OF_MEMORY = 18,
    CDRW_TERMINATED = 19,
    CDRW_FEATURE_NOT_SUPPORTED = 20,
    CDRW_ALREADY_STARTED = 21,
    CDRW_INCORRECT_FILE = 22,
    CDRW_NOT_PRESENT = 23
};

#define CDRW_MAX_ENTRIES 99
#define CDRW_PATH_SIZE 260
#define CDRW_TITLE_SIZE 82
#define CDRW_SECTOR_SIZE 2048
#define CDRW_TEXT_BUFFER_SIZE 1024

/* The job handed to the writers: 34,740 bytes, little-endian, NUL-terminated
 * single-byte texts. Slots beyond entryCount are not read. */
typedef struct BurnJob {
    uint32_t first; /* always 1 */
    char path[CDRW_MAX_ENTRIES][CDRW_PATH_SIZE];
    uint32_t entryWord[CDRW_MAX_ENTRIES]; /* always 0 */
    uint32_t entryCount;
    uint32_t size[CDRW_MAX_ENTRIES];
    char title[CDRW_MAX_ENTRIES][CDRW_TITLE_SIZE];
    char discTitle[CDRW_TITLE_SIZE];
} BurnJob;

#ifdef __cplusplus
#define CDRW_STATIC_ASSERT static_assert
#else
#define CDRW_STATIC_ASSERT _Static_assert
#endif
CDRW_STATIC_ASSERT(sizeof(BurnJob) == 34740, "BurnJob size");
CDRW_STATIC_ASSERT(offsetof(BurnJob, path) == 4, "BurnJob path offset");
CDRW_STATIC_ASSERT(offsetof(BurnJob, entryWord) == 25744, "BurnJob entry word offset");
CDRW_STATIC_ASSERT(offsetof(BurnJob, entryCount) == 26140, "BurnJob entry count offset");
CDRW_STATIC_ASSERT(offsetof(BurnJob, size) == 26144, "BurnJob size offset");
CDRW_STATIC_ASSERT(offsetof(BurnJob, title) == 26540, "BurnJob title offset");
CDRW_STATIC_ASSERT(offsetof(BurnJob, discTitle) == 34658, "BurnJob disc title offset");

/* The sixteen entries, in the order the binding looks them up. */
CDRW_API int32_t CDRW_CALL Start(uint8_t hostAdapter, uint8_t target, uint8_t lun,
                                 uint8_t memoryGrade, uint32_t bufferSize);
CDRW_API int32_t CDRW_CALL BlankDisc(int32_t mode);
CDRW_API int32_t CDRW_CALL IsDiscBlank(uint32_t* blank, uint32_t* rewritable, uint32_t* ready);
CDRW_API int32_t CDRW_CALL SetCdSpeeds(uint16_t readSpeed, uint16_t writeSpeed);
CDRW_API int32_t CDRW_CALL GetCdSpeeds(uint16_t* readSpeed, uint16_t* currentWriteSpeed,
                                       uint16_t* highestReadSpeed, uint16_t* highestWriteSpeed);
CDRW_API int32_t CDRW_CALL Unload(void);
CDRW_API int32_t CDRW_CALL Load(void);
CDRW_API int32_t CDRW_CALL SendOpc(void);
CDRW_API int32_t CDRW_CALL IsDeviceReady(void);
CDRW_API int32_t CDRW_CALL BurnProofControl(int32_t request);
CDRW_API int32_t CDRW_CALL GetVendorProductStrings(char* vendor, char* product);
CDRW_API int32_t CDRW_CALL GetSupportedWriteModes(uint32_t* trackAtOnce, uint32_t* sessionAtOnce,
                                                  uint32_t* discAtOnce);
CDRW_API int32_t CDRW_CALL WriteCdAudioTao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                           uint32_t testFlag);
CDRW_API int32_t CDRW_CALL WriteCdAudioSao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                           uint32_t testFlag);
CDRW_API int32_t CDRW_CALL WriteCdAudioDao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                           uint32_t testFlag);
CDRW_API int32_t CDRW_CALL WriteCdDataTao(const BurnJob* job, int32_t interval, CdRwEvent* event,
                                          uint32_t testFlag);

/* BurnProofControl requests. */
#define CDRW_BURNPROOF_QUERY (-1)
#define CDRW_BURNPROOF_OFF 0
#define CDRW_BURNPROOF_ON 1

/* Entry pointer types for run-time binding. */
typedef int32_t(CDRW_CALL* CdRwStartFn)(uint8_t, uint8_t, uint8_t, uint8_t, uint32_t);
typedef int32_t(CDRW_CALL* CdRwBlankDiscFn)(int32_t);
typedef int32_t(CDRW_CALL* CdRwIsDiscBlankFn)(uint32_t*, uint32_t*, uint32_t*);
typedef int32_t(CDRW_CALL* CdRwSetCdSpeedsFn)(uint16_t, uint16_t);
typedef int32_t(CDRW_CALL* CdRwGetCdSpeedsFn)(uint16_t*, uint16_t*, uint16_t*, uint16_t*);
typedef int32_t(CDRW_CALL* CdRwNoArgumentFn)(void);
typedef int32_t(CDRW_CALL* CdRwBurnProofControlFn)(int32_t);
typedef int32_t(CDRW_CALL* CdRwGetVendorProductStringsFn)(char*, char*);
typedef int32_t(CDRW_CALL* CdRwGetSupportedWriteModesFn)(uint32_t*, uint32_t*, uint32_t*);
typedef int32_t(CDRW_CALL* CdRwWriteFn)(const BurnJob*, int32_t, CdRwEvent*, uint32_t);

#ifdef __cplusplus
}
#endif

#endif /* QV_ENGINE_CDRWLIB_H */
