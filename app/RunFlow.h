#pragma once
// The numbers of the run: its stages (which decide what the right button
// does), its result codes (the process exit code) and the two window
// messages the burn side sends to the main window.

#include "recording/BurnMessages.h"

#include <cstdint>
#include <string>

namespace qv::app {

namespace stage {
inline constexpr uint8_t kCreated = 0;
inline constexpr uint8_t kContentFile = 1;
inline constexpr uint8_t kDiskSpace = 2;
inline constexpr uint8_t kCpuSpeed = 3;
inline constexpr uint8_t kAspiLayer = 4;
inline constexpr uint8_t kBlankDisc = 5;
inline constexpr uint8_t kEraseQuestion = 6;
inline constexpr uint8_t kRecorderReport = 7;
inline constexpr uint8_t kBusy = 9;
inline constexpr uint8_t kBurnSucceeded = 10;
} // namespace stage

namespace result {
inline constexpr int32_t kNone = -1;
inline constexpr int32_t kCompleted = 0;
inline constexpr int32_t kCancelled = 1;
inline constexpr int32_t kContentMissing = 2;
inline constexpr int32_t kDiskFull = 3;
inline constexpr int32_t kNoAspi = 4;
inline constexpr int32_t kNoBlankDisc = 5;
inline constexpr int32_t kNoWriteMode = 6;
inline constexpr int32_t kRecordingFailed = 7;
inline constexpr int32_t kNoRecorder = 8;
inline constexpr int32_t kNoAdministrator = 11;
inline constexpr int32_t kNotReady = 76;
// From this code on a result is a real one that later codes do not replace.
inline constexpr int32_t kFirstReal = kContentMissing;
} // namespace result

// The burn side's messages: real window messages on Windows; elsewhere the
// event loop hands them to TFormMain::WindowMessage on the window thread.
using recording::WM_BURNPROGRESS;
using recording::WM_BURNSTATUS;

// The console line for a payload member that failed while it was extracted.
std::string DamagedFileLine(const std::string& name, const std::string& message);

} // namespace qv::app
