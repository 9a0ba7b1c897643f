#pragma once
// The binding of the recorder engine "CdRwLib.dll": loads it at run time,
// keeps its sixteen entries in EngineEntries, scans the SCSI addresses for a
// recorder and gives the texts of the engine's status codes. Every other
// unit calls the engine through EngineEntries.

#include "engine/CdRwLib.h"
#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qv::recording {

// The file name the engine has on every system.
inline constexpr const char* kEngineLibraryName = "CdRwLib.dll";

// Added after the missing-files line when the engine is there but built for
// the other bitness (a 32-bit engine beside a 64-bit applet, or the other way
// round), so that support staff can tell a wrong engine from a missing one.
inline constexpr const char* kWrongEngineText =
    "Wrong engine: CdRwLib.dll is built for another processor type (32-bit or 64-bit) than "
    "this program";

// Status codes the binding itself hands out.
inline constexpr int32_t kEngineSuccess = CDRW_SUCCESS;
inline constexpr int32_t kDeviceNotPresent = CDRW_NOT_PRESENT;

struct EngineEntryTable {
    CdRwStartFn Start = nullptr;
    CdRwBlankDiscFn BlankDisc = nullptr;
    CdRwIsDiscBlankFn IsDiscBlank = nullptr;
    CdRwSetCdSpeedsFn SetCdSpeeds = nullptr;
    CdRwGetCdSpeedsFn GetCdSpeeds = nullptr;
    CdRwNoArgumentFn Unload = nullptr;
    CdRwNoArgumentFn Load = nullptr;
    CdRwNoArgumentFn SendOpc = nullptr;
    CdRwNoArgumentFn IsDeviceReady = nullptr;
    CdRwBurnProofControlFn BurnProofControl = nullptr;
    CdRwGetVendorProductStringsFn GetVendorProductStrings = nullptr;
    CdRwGetSupportedWriteModesFn GetSupportedWriteModes = nullptr;
    CdRwWriteFn WriteCdAudioTao = nullptr;
    CdRwWriteFn WriteCdAudioSao = nullptr;
    CdRwWriteFn WriteCdAudioDao = nullptr;
    CdRwWriteFn WriteCdDataTao = nullptr;
};

// Valid while EngineLoaded() is true; cleared by FreeEngine.
extern EngineEntryTable EngineEntries;

// Raised when the library lacks an entry; the message reads
// "Assertion failure (CdRwLibE, line N)".
class EAssertionFailed : public std::runtime_error {
public:
    explicit EAssertionFailed(int line);
};

// Loads the library (unless already loaded) and resolves the entries. False
// when the library cannot be loaded; EAssertionFailed when an entry is
// missing, with the loaded flag left false.
bool LoadEngine();
// Releases a loaded library; true when the release succeeded.
bool FreeEngine();

// Scans adapters 0-7, and within each targets 0-7, with Start; 1 at the
// first answer (adapter and target stored, lun set to 0), 23 otherwise.
// Calls nothing when the engine is not loaded.
int32_t FindRecorder(uint8_t& hostAdapter, uint8_t& target, uint8_t& lun, uint8_t memoryGrade,
                     uint32_t bufferValue);

// The text of a status code 0-23; other codes leave text unchanged.
void EngineStatusText(int32_t code, std::string& text);
// The same as a value: empty for other codes.
std::string EngineStatusText(int32_t code);

// True when the last LoadEngine failed because the library file is built
// for another processor than this program.
bool EngineOfOtherMachine();

bool EngineLoaded();
platform::LibraryHandle EngineHandle();

// The folder LoadEngine loads from; empty (the default) is the working
// folder. Tests and tools point it elsewhere.
void SetEngineFolder(const std::string& folder);

} // namespace qv::recording
