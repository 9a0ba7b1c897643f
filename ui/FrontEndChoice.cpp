#include "FrontEndChoice.h"

#include "console/ConsoleFrontEnd.h"

#ifdef QV_DESKTOP_WINDOW
#include "fltk/FltkFrontEnd.h"
#endif

#include <cstdlib>
#include <cstring>

namespace qv::ui {

namespace {

constexpr const char* kHelp =
    "qvapplet: the CD-making applet. Run it without arguments to make the CD.\n"
    "\n"
    "Its face:\n"
    "  the desktop window when a display can be opened (DISPLAY);\n"
    "  the terminal front end when none can, or when QVAPPLET_FRONT_END=terminal:\n"
    "    on a terminal the console, gauges and captions are drawn as text (Enter or r\n"
    "    presses the right button, l the left one); when standard output is not a\n"
    "    terminal, a plain event log, one event a line, and button lines (right, left)\n"
    "    read from standard input;\n"
    "  the desktop window and the event log beside it when\n"
    "    QVAPPLET_FRONT_END=window+log.\n";

} // namespace

FrontEndKind ChooseFrontEnd(const char* variable, bool desktopAvailable) {
    const bool terminal = variable != nullptr && std::strcmp(variable, kFrontEndTerminal) == 0;
    if (terminal || !desktopAvailable) return FrontEndKind::Terminal;
    const bool withLog = variable != nullptr && std::strcmp(variable, kFrontEndWindowAndLog) == 0;
    return withLog ? FrontEndKind::WindowAndLog : FrontEndKind::Window;
}

bool AsksForHelp(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments)
        if (argument == kHelpArgument) return true;
    return false;
}

const char* FrontEndHelp() {
    return kHelp;
}

app::FrontEndFactory ChosenFrontEnd() {
    // Decided when the window is due: the maintenance modes open no display.
    return [](platform::EventLoop& loop) -> std::unique_ptr<app::FrontEnd> {
        const char* variable = std::getenv(kFrontEndVariable);
        const bool terminal = ChooseFrontEnd(variable, true) == FrontEndKind::Terminal;
#ifdef QV_DESKTOP_WINDOW
        const FrontEndKind kind = ChooseFrontEnd(variable, !terminal && DesktopAvailable());
        if (kind != FrontEndKind::Terminal)
            return MakeFltkFrontEnd(loop, kind == FrontEndKind::WindowAndLog);
#else
        (void)terminal; // built without the desktop window
#endif
        return MakeConsoleFrontEnd(loop);
    };
}

} // namespace qv::ui
