#pragma once
// The two window messages the burn side sends to the main window, with the
// Windows message numbers of this system (WM_USER + 100 and + 101). The one
// definition of each number: the window's side takes them from here.

#include <cstdint>

namespace qv::recording {

// wParam: the percent written; lParam: the gauge's maximum.
inline constexpr uint32_t WM_BURNPROGRESS = 1124;
// wParam: 0; lParam: the address of a NUL-terminated status line, which the
// sender owns and keeps alive until the window has handled the message.
inline constexpr uint32_t WM_BURNSTATUS = 1125;
inline constexpr intptr_t kProgressMaximum = 100;

} // namespace qv::recording
