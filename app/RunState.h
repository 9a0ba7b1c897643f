#pragma once
// Everything one run keeps beyond the window's own fields: the run's flags,
// the checks' findings, the per-user settings, the system answers the
// checks ask for, the gauge's last hint, how the run ends the process, the
// burn side's shared state, the operating-system family and the applet's
// size. The run window owns the one object and hands it to what needs it,
// so each fact has one source and a new run starts from fresh values.

#include "CommonUtils.h"
#include "PreflightChecks.h"
#include "Settings.h"
#include "UnitMain.h"

#include "recording/UnitBurn.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qv::app {

struct TRunState {
    // The Windows NT family (2000, XP and later) rather than 95/98/Me.
    bool ntFamily = false;
    // Size of the running executable, payload included (from the size gate).
    int32_t ownSize = 0;
    TRunValues values;
    TCheckValues checks;
    TSettingsValues settings;
    TRunEnvironment environment = SystemRunEnvironment();
    // The progress gauge's hint: "-" until a recording ends or is stopped,
    // then its percent done.
    std::string progressHint = "-";
    // How the end of the run ends the process; by default it only ends the
    // event loop, so that tests and the start-up see the exit code. The run
    // window installs the immediate process end.
    std::function<void(int exitCode)> processEnding = [](int) { TerminateApplication(); };
    recording::BurnState burn;
};

} // namespace qv::app
