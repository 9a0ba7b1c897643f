#pragma once
// What the pre-flight checks and the burn start ask of the system beyond the
// ports the window already holds, and the values they leave for the rest of
// the run (kept in the run's state). The asking goes through TRunEnvironment so that
// tests can stand in a full disk, another PATH, an ASPI layer of a chosen
// version or a burn side that only records its start.

#include "Settings.h"

#include "platform/Processes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv::app {

// Fixed paths of packet-writing software, tested for existence only.
inline constexpr const char* kPacketWritingDriver = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\cdrpwd.vxd";
inline constexpr const char* kPacketWritingProgram = "C:\\Program Files\\DirectCD\\Directcd.exe";

// Values the checks leave for the run: the flags of the last IsDiscBlank
// (32-bit, nonzero meaning true) and the memory grade handed to the engine.
struct TCheckValues {
    uint32_t DiscBlank = 0;
    uint32_t DiscRewritable = 0;
    uint32_t DiscReady = 0;
    uint8_t MemoryGrade = 0; // 4 or 2 once the memory test ran
};

struct TRunEnvironment {
    // The current directory, trailing separator not required.
    std::function<std::string()> currentDirectory;
    // Free bytes available to the user on the volume of the path; -1 on failure.
    std::function<int64_t(const std::string& root)> freeBytes;
    // The PATH variable's text.
    std::function<std::string()> searchPath;
    // FileVersionText of a file (a bare name is looked up like a library).
    std::function<std::string(const std::string& file, const std::string& form)> fileVersion;
    // The Windows folder and its system folder, with trailing backslashes
    // (the 95/98/Me branch of the ASPI check compares the working folder).
    std::function<std::string()> windowsFolder;
    std::function<std::string()> systemFolder;
    // The window thread's priority (lowered for the burn).
    std::function<void(platform::ThreadPriority)> setThreadPriority;
    // The priorities the CPU-speed measurement raises and restores.
    TPriorityControl* cpuPriorities = nullptr;
    // Starts the burn thread; false when it did not start.
    std::function<bool(uint8_t writeMode)> startBurn;
};
// The real system's answers; startBurn empty means the recording module's.
TRunEnvironment SystemRunEnvironment();
// FileVersionText as the environment answers it; the real file's where the
// environment has no answer.
std::string VersionOf(const TRunEnvironment& environment, const std::string& file,
                      const std::string& form);

// The disk-space root of the current directory: its first three characters
// on Windows ("C:\"), the directory itself where volumes have no letters.
std::string DiskSpaceRoot(const std::string& currentDirectory);

// The folders searched for the ASPI layer: the current directory, then each
// entry of the search path, each ending in a folder separator.
std::vector<std::string> AspiSearchFolders(const std::string& currentDirectory,
                                           const std::string& searchPath);

// The memory grade for available and total physical memory: 4, 2, or 0
// when there is not enough to make a CD.
uint8_t MemoryGradeFor(uint64_t availableBytes, uint64_t totalBytes);

} // namespace qv::app
