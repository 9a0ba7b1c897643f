#include "PreflightChecks.h"

#include "CommonUtils.h"
#include "FinishRun.h"
#include "RunFlow.h"
#include "RunState.h"
#include "RunTexts.h"
#include "Settings.h"
#include "UnitMain.h"

#include "payload/UnitCompress.h"
#include "payload/WorkingFiles.h"
#include "platform/Files.h"
#include "recording/CdRwLibE.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>

namespace qv::app {

namespace {

constexpr uint64_t kMebibyte = 1048576;
constexpr uint8_t kMemoryGradeFull = 4;
constexpr uint8_t kMemoryGradeReduced = 2;
constexpr uint8_t kMemoryGradeShort = 0;
constexpr uint64_t kFullAvailableAbove = 6;
constexpr uint64_t kFullTotalAbove = 50;
constexpr uint64_t kReducedAvailableAbove = 4;
constexpr uint64_t kReducedTotalAbove = 20;
constexpr uint32_t kEngineBufferValue = 8192;
constexpr size_t kTextBufferSize = 1024;
constexpr size_t kSearchPathCharacters = 65535;
constexpr uint32_t kReloadPause = 4500;
constexpr const char* kCdPlayerTitlePart = "CD Player";
// An ASPI layer of this major version is too old to use.
constexpr char kUnusableAspiMajor = '1';

#ifdef _WIN32
constexpr size_t kDriveRootLength = 3;
constexpr char kSearchPathSeparator = ';';
constexpr char kFolderSeparator = '\\';
#else
constexpr char kSearchPathSeparator = ':';
constexpr char kFolderSeparator = '/';
#endif

bool EndsAsFolder(const std::string& entry) {
    const char last = entry.back();
    return last == kFolderSeparator || last == '\\' || last == ':';
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string WithTrailingBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

} // namespace

TRunEnvironment SystemRunEnvironment() {
    TRunEnvironment environment;
    environment.currentDirectory = [] {
        std::error_code error;
        const std::filesystem::path current = std::filesystem::current_path(error);
        return error ? std::string() : current.string();
    };
    environment.freeBytes = [](const std::string& root) { return platform::FreeBytes(root); };
    environment.searchPath = [] { return EnvironmentText("PATH"); };
    environment.fileVersion = [](const std::string& file, const std::string& form) {
        return FileVersionText(file, form);
    };
    // The 95/98/Me layout: the system folder lies inside the Windows folder.
    environment.windowsFolder = [] { return WithTrailingBackslash(EnvironmentText("windir")); };
    environment.systemFolder = [] {
        const std::string windows = WithTrailingBackslash(EnvironmentText("windir"));
        return windows.empty() ? windows : windows + "SYSTEM\\";
    };
    environment.cpuPriorities = &SystemPriorities();
    environment.setThreadPriority = [](platform::ThreadPriority priority) {
        platform::SetThreadPriority(priority);
    };
    return environment;
}

std::string VersionOf(const TRunEnvironment& environment, const std::string& file,
                      const std::string& form) {
    if (environment.fileVersion) return environment.fileVersion(file, form);
    return FileVersionText(file, form);
}

std::string DiskSpaceRoot(const std::string& currentDirectory) {
#ifdef _WIN32
    return currentDirectory.substr(0, kDriveRootLength);
#else
    return currentDirectory;
#endif
}

std::vector<std::string> AspiSearchFolders(const std::string& currentDirectory,
                                           const std::string& searchPath) {
    std::vector<std::string> folders;
    std::string current = currentDirectory;
    if (!current.empty() && !EndsAsFolder(current)) current += kFolderSeparator;
    folders.push_back(current);
    const std::string path = searchPath.substr(0, kSearchPathCharacters - 1);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(kSearchPathSeparator, start);
        if (end == std::string::npos) end = path.size();
        std::string entry = path.substr(start, end - start);
        if (!entry.empty()) {
            if (!EndsAsFolder(entry)) entry += kFolderSeparator;
            folders.push_back(entry);
        }
        start = end + 1;
    }
    return folders;
}

uint8_t MemoryGradeFor(uint64_t availableBytes, uint64_t totalBytes) {
    const uint64_t available = availableBytes / kMebibyte;
    const uint64_t total = totalBytes / kMebibyte;
    if (available > kFullAvailableAbove || total > kFullTotalAbove) return kMemoryGradeFull;
    if (available > kReducedAvailableAbove || total > kReducedTotalAbove)
        return kMemoryGradeReduced;
    return kMemoryGradeShort;
}

// Each failing check beeps and hands the right button over as "&OK".
void TFormMain::FailCheck(const std::string& message) {
    AddStatusLine(message);
    view_.Beep();
    SetRightCaption(1);
}

bool TFormMain::CheckContentFile() {
    if (platform::FileExists(WorkingFolderPath(payload::kContentFile))) return true;
    RunStage = stage::kContentFile;
    FailCheck(run_text::kRequiredFilesMissing);
    return false;
}

bool TFormMain::CheckDiskSpace(int64_t requiredBytes) {
    BusyStep();
    RunStage = stage::kDiskSpace;
    const std::string root = DiskSpaceRoot(run_.environment.currentDirectory());
    int64_t available = root.empty() ? -1 : run_.environment.freeBytes(root);
    if (available < 0) available = 0;
    if (available >= requiredBytes) return true;
    FailCheck(run_text::kInsufficientDiskSpace);
    return false;
}

bool TFormMain::CpuSpeedStep() {
    BusyStep();
    RunStage = stage::kCpuSpeed;
    MeasureCpuSpeed(facts_, *run_.environment.cpuPriorities, run_.settings);
    return true;
}

bool TFormMain::AspiLayerFound() {
    for (const std::string& folder :
         AspiSearchFolders(run_.environment.currentDirectory(), run_.environment.searchPath()))
        if (platform::FileExists(folder + payload::kInstalledAspiFile)) return true;
    return false;
}

bool TFormMain::CheckAspiLayer(bool installAllowed) {
    BusyStep();
    RunStage = stage::kAspiLayer;
    if (!run_.ntFamily) {
        RemoveOldAspiLayer();
        return true;
    }
    const std::string shortVersion =
        run_.environment.fileVersion(payload::kInstalledAspiFile, kVersionShort);
    const bool present =
        AspiLayerFound() && (shortVersion.empty() || shortVersion.front() != kUnusableAspiMajor);
    const std::string carried = WorkingFolderPath(payload::kCarriedAspiFile);
    if (present) {
        platform::DeleteFile(carried);
        return true;
    }
    const std::string installed = WorkingFolderPath(payload::kInstalledAspiFile);
    if (installAllowed && !platform::FileExists(installed)) {
        if (!platform::FileExists(carried) && !ExtractCarriedAspiLayer()) return false;
        platform::MoveFile(carried, installed, false); // a failed move shows at the recorder
        return true;
    }
    FailCheck(run_text::kNoAspiLayer);
    return false;
}

// A carried layer that fails its checks is no layer at all; one that cannot
// be written is the folder's fault, said as at the run start.
bool TFormMain::ExtractCarriedAspiLayer() {
    if (CompressDataModule == nullptr) return true;
    try {
        CompressDataModule->ExtractMember(payload::kCarriedAspiFile);
        return true;
    } catch (const std::exception& error) {
        const payload::TDamagedMember failure{payload::kCarriedAspiFile, error.what(),
                                              payload::TCompressDataModule::FailureKind(error)};
        if (!ReportRunFileFailure(failure)) return false;
        AddStatusLine(DamagedFileLine(payload::kCarriedAspiFile, error.what()));
        FailCheck(run_text::kNoAspiLayer);
        return false;
    }
}

// The 95/98/Me family brings its own layer: a carried one left in the working
// folder by an earlier run goes, unless the applet runs from the system's
// own folders.
void TFormMain::RemoveOldAspiLayer() {
    const std::string folder = ExecutableFolder();
    if (folder != run_.environment.systemFolder() && folder != run_.environment.windowsFolder() &&
        AspiVersionAsksForTidyUp(
            run_.environment.fileVersion(payload::kInstalledAspiFile, kVersionShort)))
        platform::DeleteFile(WorkingFolderPath(payload::kInstalledAspiFile));
    platform::DeleteFile(WorkingFolderPath(payload::kCarriedAspiFile));
}

bool TFormMain::LoadRecorderEngine() {
    try {
        if (recording::LoadEngine()) return true;
    } catch (const recording::EAssertionFailed&) {
        // A library without every entry is as unusable as a missing one.
    }
    AddStatusLine(run_text::kRequiredFilesMissing);
    // Added as an engine failure adds its status text: a line of its own.
    if (recording::EngineOfOtherMachine()) AddStatusLine(recording::kWrongEngineText);
    return false;
}

bool TFormMain::StartRecorderLibrary() {
    BusyStep();
    const bool loaded = LoadRecorderEngine();
    const platform::MemoryStatus memory = facts_.Memory();
    run_.checks.MemoryGrade = MemoryGradeFor(memory.availablePhysical, memory.totalPhysical);
    if (run_.checks.MemoryGrade == kMemoryGradeShort) {
        AddStatusLine(run_text::kNotEnoughMemory);
        view_.Beep();
        return false; // the stage stays busy: the right button cancels
    }
    uint8_t adapter = 0;
    uint8_t target = 0;
    uint8_t lun = 0;
    const int32_t found =
        recording::FindRecorder(adapter, target, lun, run_.checks.MemoryGrade, kEngineBufferValue);
    if (found == recording::kEngineSuccess) {
        RecorderFound = true;
    } else {
        AddStatusLine(recording::EngineStatusText(found));
        SetRunResult(result::kNoRecorder);
    }
    // Without the library there is nobody to ask; the report then stops the run.
    if (loaded) ReadRecorderAbilities();
    return true;
}

void TFormMain::ReadRecorderAbilities() {
    char vendor[kTextBufferSize] = {};
    char product[kTextBufferSize] = {};
    const int32_t strings = recording::EngineEntries.GetVendorProductStrings(vendor, product);
    if (strings == recording::kEngineSuccess) {
        VendorText.assign(vendor, strnlen(vendor, kTextBufferSize));
        ProductText.assign(product, strnlen(product, kTextBufferSize));
    } else {
        AddStatusLine(recording::EngineStatusText(strings));
        SetRunResult(result::kNoRecorder);
    }
    uint32_t tao = 0;
    uint32_t second = 0;
    uint32_t third = 0;
    const int32_t modes = recording::EngineEntries.GetSupportedWriteModes(&tao, &second, &third);
    if (modes == recording::kEngineSuccess) {
        TaoFlag = tao != 0;
        SecondModeFlag = second != 0;
        ThirdModeFlag = third != 0;
    } else {
        AddStatusLine(recording::EngineStatusText(modes));
        SetRunResult(result::kNoWriteMode);
    }
}

bool TFormMain::ReportRecorder() {
    BusyStep();
    RunStage = stage::kRecorderReport;
    if (RecorderFound) {
        AddStatusLine(run_text::kVersionPrefix +
                      run_.environment.fileVersion(ExecutablePath(), kVersionShort) +
                      run_text::kWithAspi +
                      run_.environment.fileVersion(payload::kInstalledAspiFile, kVersionLong));
        AddStatusLine(std::string(run_text::kRecorderPrefix) + run_text::kBlank + VendorText +
                      run_text::kBlank + ProductText);
        return true;
    }
    if (!run_.ntFamily) {
        AddStatusLine(run_text::kNoRecorderOrMethod);
    } else if (facts_.IsAdministrator()) {
        AddStatusLine(std::string(run_text::kNoRecorderDetectedBegin) + run_text::kSupportEmail +
                      run_text::kNoRecorderDetectedEnd);
    } else {
        AddStatusLine(run_text::kNeedAdministrativeRights);
        RunResult = result::kNoAdministrator;
    }
    view_.Beep();
    SetRightCaption(1);
    return false;
}

bool TFormMain::ShutDownCdPlayer() {
    for (const std::string& title : facts_.TopLevelWindowTitles()) {
        if (title.find(kCdPlayerTitlePart) != std::string::npos) {
            facts_.PostQuitToWindow(title);
            break;
        }
    }
    return true;
}

int32_t TFormMain::AskDiscBlank() {
    TCheckValues& values = run_.checks;
    return recording::EngineEntries.IsDiscBlank(&values.DiscBlank, &values.DiscRewritable,
                                                &values.DiscReady);
}

bool TFormMain::CheckBlankDisc(bool firstAttempt) {
    BusyStep();
    RunStage = stage::kBlankDisc;
    run_.checks.DiscBlank = 0;
    int32_t status = AskDiscBlank();
    if (status != recording::kEngineSuccess) {
        recording::EngineEntries.Load();
        // While the drive reloads the run is busy: a press cancels it (the
        // first attempt shows "&Cancel") instead of starting a retry inside it.
        if (firstAttempt) RunStage = stage::kBusy;
        Pause(kReloadPause);
        RunStage = stage::kBlankDisc;
        ProcessMessages();
        status = AskDiscBlank();
        if (status != recording::kEngineSuccess) AddStatusLine(recording::EngineStatusText(status));
    }
    const bool blank = status == recording::kEngineSuccess && run_.checks.DiscBlank != 0;
    if (!blank && firstAttempt && EraseQuestion()) ReportNoBlankDisc();
    return blank;
}

void TFormMain::ReportNoBlankDisc() {
    RunStage = stage::kBlankDisc;
    AddStatusLine(run_text::kNoBlankDisc);
    SetRunResult(result::kNoBlankDisc);
    view_.Beep();
    recording::EngineEntries.Unload();
    SetRightCaption(1);
    ButtonRight.SetFocus();
}

} // namespace qv::app
