#pragma once
// The Windows front end: one real window with the layout's components.

#include "app/StartUp.h"
#include "app/WindowLayout.h"

#include <memory>

namespace qv::ui {

// Control identifiers of the components, for the window and for the
// UI-automation driver that finds the controls.
enum Win32ControlId : int {
    kIdDevLabel = 101,
    kIdImageLogo,
    kIdLabelProgress,
    kIdProgressBarLeft,
    kIdProgressBar,
    kIdMemoStatus,
    kIdButtonLeft,
    kIdButtonRight,
};

// The UI-automation driver finds the window by its class.
inline constexpr const char* kWin32WindowClass = app::kWindowClass;

std::unique_ptr<app::FrontEnd> MakeWin32FrontEnd(platform::EventLoop& loop);

} // namespace qv::ui
