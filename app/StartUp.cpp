#include "StartUp.h"

#include "CommonUtils.h"
#include "FinishRun.h"
#include "FormBurnWindow.h"
#include "RunState.h"
#include "UnitMain.h"

#include "payload/UnitCompress.h"
#include "payload/WorkingFiles.h"
#include "platform/EndSignals.h"
#include "platform/Files.h"
#include "platform/Processes.h"
#include "recording/UnitBurn.h"

#include <filesystem>

namespace qv::app {

namespace {
// A maintenance mode that was asked for and did not run to its end.
constexpr int kMaintenanceFailedExitCode = 1;

bool AnyPayloadModeSwitch() {
    for (const char* mode : {payload::kSwitchPackLh5, payload::kSwitchPackWithoutImage,
                             payload::kSwitchPackRle, payload::kSwitchSpawn, payload::kSwitchEmpty})
        if (HasSwitch(mode)) return true;
    return false;
}

// Raises the runtime's input/output error when the folder cannot be entered.
void EnterExecutableFolder() {
    if (!ExecutableFolder().empty()) std::filesystem::current_path(ExecutableFolder());
}

// The modes show nothing, so the exit code is what tells a publisher's
// script that no new applet (or spawned folder) was made.
int RunMaintenanceMode(bool ntFamily) {
    try {
        payload::TCompressDataModule module(MakePayloadHost(nullptr, ntFamily));
        module.RunPayloadMode();
        return module.ModeCompleted() ? 0 : kMaintenanceFailedExitCode;
    } catch (const std::exception&) {
        // The executable could not be opened: the modes promise no message.
    }
    return kMaintenanceFailedExitCode;
}

// The run owns its state; everything that needs a part of it is handed it.
int RunWindow(const FrontEndFactory& makeFrontEnd, bool ntFamily, int32_t ownSize) {
    TRunState run;
    run.ntFamily = ntFamily;
    run.ownSize = ownSize;
    const std::unique_ptr<platform::EventLoop> loop = platform::MakeEventLoop();
    SetApplicationLoop(loop.get());
    const std::unique_ptr<FrontEnd> frontEnd = makeFrontEnd(*loop);
    TFormMain form(frontEnd->View(), frontEnd->Facts(), run);
    // A signal from outside ends the run as the user's cancel would now.
    const platform::EndSignalWatch signals(*loop, [&form] { form.UserGone(); });
    frontEnd->Connect(form);
    // The burn side's messages; a Windows front end has registered its own
    // window, whose procedure hands them to the form instead.
    loop->SetWindowMessageHandler([&form](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        return form.WindowMessage(message, wParam, lParam).value_or(0);
    });
    form.FormCreate();
    recording::TBurnDataModule burn(run.burn);
    form.BurnDataModule = &burn;
    AttachBurnWindow(form, burn);
    EndProcessAtFinishRun(run);
    payload::TCompressDataModule compress(MakePayloadHost(&form, ntFamily));
    form.CompressDataModule = &compress;
    frontEnd->Start();
    loop->Run();
    const int exitCode = form.LoopEnded();
    SetApplicationLoop(nullptr);
    return exitCode;
}

} // namespace

payload::TPayloadHost MakePayloadHost(TFormMain* form, bool ntFamily) {
    payload::TPayloadHost host;
    host.selfPath = ExecutablePath();
    host.folder = ExecutableFolder();
    host.payloadOffset = PayloadOffset();
    host.ntFamily = ntFamily;
    host.hasSwitch = [](const std::string& text) { return HasSwitch(text); };
    host.workingFolderPath = [](const std::string& name) { return WorkingFolderPath(name); };
    host.deleteWorkingFile = [form](const std::string& name) {
        return form != nullptr ? form->DeleteWorkingFile(name) : DeleteWorkingFile(name);
    };
    host.processMessages = [] { ProcessMessages(); };
    if (form != nullptr)
        host.showLeftProgress = [form](int32_t percent) {
            form->ProgressBarLeft.SetPosition(percent);
        };
    host.terminateApplication = [] { TerminateApplication(); };
    host.startBatch = [](const std::string& batch, bool ntSystem) {
        return platform::StartBatchDetached(batch, ntSystem);
    };
    return host;
}

int RunApplet(const StartUpOptions& options, const FrontEndFactory& makeFrontEnd) {
    SetExecutablePath(options.executablePath);
    SetArguments(options.arguments);
    SetPayloadOffset(options.payloadOffset);
    EnterExecutableFolder();
    const bool ntFamily = platform::ThisSystem().IsNtFamily();
    // A build whose stamp is missing cannot tell where a payload begins.
    if (PayloadOffset() <= 0) return 0;
    if (AnyPayloadModeSwitch()) return RunMaintenanceMode(ntFamily);
    if (HasSwitch(kSwitchShow)) return 0;
    int32_t ownSize = 0;
    if (!SizeGate(ExecutablePath(), PayloadOffset() + kMinimumPayloadBytes, kSizeGateMaximum,
                  ownSize))
        return 0;
    return RunWindow(makeFrontEnd, ntFamily, ownSize);
}

} // namespace qv::app
