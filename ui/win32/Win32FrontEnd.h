#pragma once
// The Windows front end: one real window with the layout's components.

#include "app/StartUp.h"

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

inline constexpr const char* kWin32WindowClass = "TFormMain";
inline constexpr const char* kWin32WindowTitle = "Applet";
// The flat frame around the client area, in pixels.
inline constexpr int kWin32FrameWidth = 2;

std::unique_ptr<app::FrontEnd> MakeWin32FrontEnd(platform::EventLoop& loop);

} // namespace qv::ui
