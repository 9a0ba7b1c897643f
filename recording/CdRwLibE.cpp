#include "CdRwLibE.h"

#include <array>
#include <cstdio>

namespace qv::recording {

EngineEntryTable EngineEntries;

namespace {

constexpr const char* kAssertionFormat = "%s (%s, line %d)";
constexpr const char* kAssertionFailure = "Assertion failure";
constexpr const char* kUnitName = "CdRwLibE";

constexpr uint8_t kAddressCount = 8;

// The texts of the engine's status codes 0 to 23, exactly as the program
// shows them; code 1 is success and has none.
constexpr std::array<const char*, 24> kEngineStatusTexts = {
    "Unknown status of the operation",
    "",
    "General failure occured",
    "Unable to load the dll",
    "Unable to find dll entry",
    "Unable to create signalling event",
    "Unable to initialize the ASPI",
    "Bad parameter passed",
    "\r\n(code ACF)\r\n\r\n\r\n",
    "Unsupported device type",
    "Win32 call failed",
    "CDRW engine has not been started\r\n",
    "No blank disc in device",
    "Using unsupported write mode",
    "Bad response from a device",
    "Size of the disc is too small",
    "Timeout elasped",
    "Synchronization failed",
    "Out of memory",
    "Burning process terminated",
    "Device doesn't support requested feature",
    "Engine already started",
    "Incorrect file passed",
    "Device not present",
};

platform::LibraryHandle gHandle = nullptr;
bool gLoaded = false;
// A handle whose entries were refused is still open; it is closed before the
// next load so that repeated attempts do not pile up references.
bool gHandleHeld = false;
bool gOtherMachine = false;
std::string gFolder;

std::string AssertionMessage(int line) {
    char text[128];
    std::snprintf(text, sizeof text, kAssertionFormat, kAssertionFailure, kUnitName, line);
    return text;
}

template <typename Entry> void Resolve(Entry& slot, const char* name) {
    slot = reinterpret_cast<Entry>(platform::FindLibraryEntry(gHandle, name));
}

void ResolveEntries() {
    Resolve(EngineEntries.Start, "Start");
    Resolve(EngineEntries.BlankDisc, "BlankDisc");
    Resolve(EngineEntries.IsDiscBlank, "IsDiscBlank");
    Resolve(EngineEntries.SetCdSpeeds, "SetCdSpeeds");
    Resolve(EngineEntries.GetCdSpeeds, "GetCdSpeeds");
    Resolve(EngineEntries.Unload, "Unload");
    Resolve(EngineEntries.Load, "Load");
    Resolve(EngineEntries.SendOpc, "SendOpc");
    Resolve(EngineEntries.IsDeviceReady, "IsDeviceReady");
    Resolve(EngineEntries.BurnProofControl, "BurnProofControl");
    Resolve(EngineEntries.GetVendorProductStrings, "GetVendorProductStrings");
    Resolve(EngineEntries.GetSupportedWriteModes, "GetSupportedWriteModes");
    Resolve(EngineEntries.WriteCdAudioTao, "WriteCdAudioTao");
    Resolve(EngineEntries.WriteCdAudioSao, "WriteCdAudioSao");
    Resolve(EngineEntries.WriteCdAudioDao, "WriteCdAudioDao");
    Resolve(EngineEntries.WriteCdDataTao, "WriteCdDataTao");
}

void Assert(bool condition, int line) {
    if (!condition) throw EAssertionFailed(line);
}

// One check per line: the line number in the failure names the entry.
void CheckEntries() {
    const EngineEntryTable& e = EngineEntries;
    Assert(e.Start != nullptr, __LINE__);
    Assert(e.BlankDisc != nullptr, __LINE__);
    Assert(e.SetCdSpeeds != nullptr, __LINE__);
    Assert(e.GetCdSpeeds != nullptr, __LINE__);
    Assert(e.Unload != nullptr, __LINE__);
    Assert(e.Load != nullptr, __LINE__);
    Assert(e.SendOpc != nullptr, __LINE__);
    Assert(e.IsDeviceReady != nullptr, __LINE__);
    Assert(e.BurnProofControl != nullptr, __LINE__);
    Assert(e.GetVendorProductStrings != nullptr, __LINE__);
    Assert(e.GetSupportedWriteModes != nullptr, __LINE__);
    Assert(e.IsDiscBlank != nullptr, __LINE__);
    Assert(e.WriteCdAudioTao != nullptr, __LINE__);
    Assert(e.WriteCdAudioSao != nullptr, __LINE__);
    Assert(e.WriteCdAudioDao != nullptr, __LINE__);
    Assert(e.WriteCdDataTao != nullptr, __LINE__);
}

} // namespace

EAssertionFailed::EAssertionFailed(int line) : std::runtime_error(AssertionMessage(line)) {}

bool LoadEngine() {
    if (!gLoaded) {
        if (gHandleHeld) platform::CloseLibrary(gHandle);
        gHandle = platform::OpenLibrary(gFolder, kEngineLibraryName);
        gHandleHeld = gHandle != nullptr;
        gOtherMachine = gHandle == nullptr &&
                        platform::LibraryBuiltForOtherMachine(gFolder, kEngineLibraryName);
    }
    if (gHandle == nullptr) return false;
    ResolveEntries();
    CheckEntries();
    gLoaded = true;
    return true;
}

bool FreeEngine() {
    if (gHandle == nullptr || !gLoaded) {
        gLoaded = false;
        return false;
    }
    // Entries into a released library must not be callable by mistake.
    EngineEntries = EngineEntryTable{};
    gLoaded = false;
    gHandleHeld = false;
    return platform::CloseLibrary(gHandle);
}

int32_t FindRecorder(uint8_t& hostAdapter, uint8_t& target, uint8_t& lun, uint8_t memoryGrade,
                     uint32_t bufferValue) {
    if (!gLoaded) return kDeviceNotPresent;
    for (uint8_t adapter = 0; adapter < kAddressCount; ++adapter) {
        for (uint8_t unit = 0; unit < kAddressCount; ++unit) {
            if (EngineEntries.Start(adapter, unit, lun, memoryGrade, bufferValue) != kEngineSuccess)
                continue;
            hostAdapter = adapter;
            target = unit;
            lun = 0;
            return kEngineSuccess;
        }
    }
    return kDeviceNotPresent;
}

void EngineStatusText(int32_t code, std::string& text) {
    if (code < 0 || code >= static_cast<int32_t>(kEngineStatusTexts.size())) return;
    text = kEngineStatusTexts[static_cast<size_t>(code)];
}

std::string EngineStatusText(int32_t code) {
    std::string text;
    EngineStatusText(code, text);
    return text;
}

bool EngineOfOtherMachine() {
    return gOtherMachine;
}

bool EngineLoaded() {
    return gLoaded;
}

platform::LibraryHandle EngineHandle() {
    return gHandle;
}

void SetEngineFolder(const std::string& folder) {
    gFolder = folder;
}

} // namespace qv::recording
