#pragma once
// The process port: starting the clean-up batch, priorities, and the end of
// the process.

#include <cstdint>
#include <functional>
#include <string>

namespace qv::platform {

// How Windows starts a batch: the command line and the creation flags. The
// 95/98/Me family has no new-console start for batches, so command.com runs
// it detached there.
struct BatchStartRule {
    std::string commandLine;
    uint32_t creationFlags;
};
BatchStartRule BatchStartRuleFor(const std::string& batchFullPath, bool ntFamily);

// Starts the batch hidden and detached and does not wait for it. Windows
// follows BatchStartRuleFor; Linux runs the script with /bin/sh in a session
// of its own, its standard streams on /dev/null. False when it did not start.
bool StartBatchDetached(const std::string& batchFullPath, bool ntFamily);

// The Windows priority classes and thread priorities; Linux maps them onto
// nice values, and a change the system refuses is ignored.
enum class ProcessPriority { Idle, BelowNormal, Normal, AboveNormal, High, Realtime };
enum class ThreadPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest, TimeCritical };

ProcessPriority CurrentProcessPriority();
void SetProcessPriority(ProcessPriority priority);
// Both act on the calling thread.
ThreadPriority CurrentThreadPriority();
void SetThreadPriority(ThreadPriority priority);

// The running process's identifier (the Linux clean-up script waits on it).
long CurrentProcessId();

// Ends the process at once with the code, after flushing the C streams and
// running the hook below; no destructors or exit handlers run.
[[noreturn]] void EndProcess(int exitCode);
// What must happen on every way out through EndProcess (a terminal's
// settings put back); an empty function clears it.
void SetBeforeProcessEnd(std::function<void()> hook);
void RunBeforeProcessEnd();

// Standard input, output or error closed when the process started would be
// taken by the next file opened (the applet's own executable, say), and a
// reader of standard input would eat its bytes: each closed one is opened on
// the null device first. Call before anything else opens a file.
void OpenClosedStandardDescriptors();

} // namespace qv::platform
