#pragma once
// The Linux desktop front end: the real window on FLTK, optionally with the
// terminal front end's event log beside it (output and button lines).

#include "app/StartUp.h"

#include <memory>

namespace qv::ui {

// False when no display can be opened (no DISPLAY, or none answers it).
bool DesktopAvailable();
std::unique_ptr<app::FrontEnd> MakeFltkFrontEnd(platform::EventLoop& loop, bool withEventLog);

} // namespace qv::ui
