// The applet's entry: the stamped payload slot, the command line and the
// front end of this system, handed to the start-up.

#include "app/StartUp.h"
#include "payload/PayloadOffset.h"
#include "platform/OwnExecutable.h"
#include "platform/Processes.h"

#ifdef _WIN32
#include "win32/Win32FrontEnd.h"
#else
#include "AppletUsage.h"
#include "FrontEndChoice.h"
#include "platform/VersionBlock.h"
#endif

#include <cstdio>
#include <exception>

// The build writes the bare executable's size in here after linking.
volatile qv::payload::TPayloadSlot gPayloadSlot = qv::payload::UnstampedPayloadSlot();

#ifndef _WIN32
// The file version, read back by FileVersionText as the Windows build's
// version resource is.
[[gnu::used, gnu::section(QV_VERSION_SECTION)]] const qv::platform::TVersionBlock gVersionBlock =
    qv::platform::MakeVersionBlock(QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_PATCH,
                                   QV_VERSION_TWEAK);
#endif

namespace {
constexpr const char* kStartFailed = "The applet could not start: %s\n";
constexpr int kStartFailedExitCode = 1;
#ifndef _WIN32
constexpr const char* kVersionLine = "qvapplet %d.%d.%d.%d\n";
#endif
} // namespace

int main(int argc, char** argv) {
    qv::platform::OpenClosedStandardDescriptors();
    qv::app::StartUpOptions options;
    options.executablePath = qv::platform::OwnExecutablePath();
    options.arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    options.payloadOffset = qv::payload::StampedPayloadOffset(gPayloadSlot);
    try {
#ifdef _WIN32
        return qv::app::RunApplet(options, qv::ui::MakeWin32FrontEnd);
#else
        if (qv::ui::AsksForHelp(options.arguments)) {
            std::fputs(qv::ui::FrontEndHelp(), stdout);
            std::fputs(qv::ui::AppletUsage(), stdout);
            return 0;
        }
        if (qv::ui::AsksForVersion(options.arguments)) {
            std::printf(kVersionLine, QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_PATCH,
                        QV_VERSION_TWEAK);
            return 0;
        }
        return qv::app::RunApplet(options, qv::ui::ChosenFrontEnd());
#endif
    } catch (const std::exception& error) {
        // The runtime's input/output error at start-up (the folder cannot be entered).
        std::fprintf(stderr, kStartFailed, error.what());
        return kStartFailedExitCode;
    }
}
