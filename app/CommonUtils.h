#pragma once
// Process-wide helpers of the applet: the command line's switches, the
// working folder, Pause, the size gate, file-version texts and the date
// format.

#include "platform/EventLoop.h"
#include "platform/FileVersion.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::app {

// The bare applet's size, where its payload begins (stamped into the
// executable by the build; see payload/PayloadOffset.h).
void SetPayloadOffset(int64_t offset);
int64_t PayloadOffset();

// The size gate's bounds: a copy must carry at least this much payload.
inline constexpr int64_t kMinimumPayloadBytes = 1024;
inline constexpr int64_t kSizeGateMaximum = 0x7FFFFFFF;

// The command line without the program name.
void SetArguments(std::vector<std::string> arguments);
const std::vector<std::string>& Arguments();

// True when one argument equals the switch as a whole; letters A-Z compare
// without regard to case, every other character exactly.
bool SwitchMatches(const std::string& argument, const std::string& switchText);
bool HasSwitch(const std::vector<std::string>& arguments, const std::string& switchText);
bool HasSwitch(const std::string& switchText);

// The running executable's path and its folder (with the trailing separator).
void SetExecutablePath(const std::string& path);
const std::string& ExecutablePath();
const std::string& ExecutableFolder();
// The folder part of a path, trailing separator included ("" for a bare name).
std::string FolderPart(const std::string& path);
// A name whose folder part is not the executable's folder gets that folder in
// front; anything else comes back unchanged.
std::string WorkingFolderPath(const std::string& name);

// Removes a working-folder file the way the main window does: the attribute
// word loses its read-only bit, then its hidden bit too, and the file is
// deleted, whatever the word held. True when it was deleted.
bool DeleteWorkingFile(const std::string& name);

// The window thread's loop; Pause and ProcessMessages go through it.
void SetApplicationLoop(platform::EventLoop* loop);
platform::EventLoop* ApplicationLoop();
void ProcessMessages();
// Waits while processing messages; ends early when the application terminates.
void Pause(uint32_t milliseconds);
// Asks the application to end its message loop.
void TerminateApplication();
bool ApplicationTerminated();

// Stores the file's size in ownSize (a file that cannot be reached counts as
// 0 bytes) and tells whether it lies within the bounds.
bool SizeGate(const std::string& path, int64_t minimum, int64_t maximum, int32_t& ownSize);

// The forms of FileVersionText.
inline constexpr const char* kVersionShort = "Short";
inline constexpr const char* kVersionLong = "Long";
inline constexpr const char* kVersionFull = "Full";
inline constexpr const char* kVersionNotFound = "Not Found";
// "4.600" (Short) or "4.600(1021)" (Long, Full) for file version 4.60.0.1021.
std::string FormatFileVersion(const platform::FileVersionNumbers& version, const std::string& form);
std::string FileVersionText(const std::string& file, const std::string& form);

// The process-wide short date format; dates become text only through it.
inline constexpr const char* kShortDateFormat = "mm/dd/yyyy";
inline constexpr char kDateSeparator = '/';
std::string FormatShortDate(int year, int month, int day);

} // namespace qv::app
