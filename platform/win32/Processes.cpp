#include "platform/Processes.h"
#include "platform/win32/WinApi.h"

#include <cstdio>
#include <iostream>
#include <vector>

namespace qv::platform {

namespace {

struct ClassPair {
    ProcessPriority priority;
    DWORD native;
};
constexpr ClassPair kClasses[] = {
    {ProcessPriority::Idle, IDLE_PRIORITY_CLASS},
    {ProcessPriority::BelowNormal, BELOW_NORMAL_PRIORITY_CLASS},
    {ProcessPriority::Normal, NORMAL_PRIORITY_CLASS},
    {ProcessPriority::AboveNormal, ABOVE_NORMAL_PRIORITY_CLASS},
    {ProcessPriority::High, HIGH_PRIORITY_CLASS},
    {ProcessPriority::Realtime, REALTIME_PRIORITY_CLASS},
};

struct ThreadPair {
    ThreadPriority priority;
    int native;
};
constexpr ThreadPair kThreadPriorities[] = {
    {ThreadPriority::Idle, THREAD_PRIORITY_IDLE},
    {ThreadPriority::Lowest, THREAD_PRIORITY_LOWEST},
    {ThreadPriority::BelowNormal, THREAD_PRIORITY_BELOW_NORMAL},
    {ThreadPriority::Normal, THREAD_PRIORITY_NORMAL},
    {ThreadPriority::AboveNormal, THREAD_PRIORITY_ABOVE_NORMAL},
    {ThreadPriority::Highest, THREAD_PRIORITY_HIGHEST},
    {ThreadPriority::TimeCritical, THREAD_PRIORITY_TIME_CRITICAL},
};

// The start-up information of a 32-bit program has 68 bytes, the size the
// batch start hands over; a 64-bit one is larger by its pointer fields.
#ifndef _WIN64
static_assert(sizeof(STARTUPINFOA) == 68, "32-bit start-up information size");
#endif

} // namespace

bool StartBatchDetached(const std::string& batchFullPath, bool ntFamily) {
    const BatchStartRule rule = BatchStartRuleFor(batchFullPath, ntFamily);
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::vector<char> commandLine(rule.commandLine.begin(), rule.commandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, rule.creationFlags,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

ProcessPriority CurrentProcessPriority() {
    const DWORD native = GetPriorityClass(GetCurrentProcess());
    for (const ClassPair& pair : kClasses)
        if (pair.native == native) return pair.priority;
    return ProcessPriority::Normal;
}

void SetProcessPriority(ProcessPriority priority) {
    for (const ClassPair& pair : kClasses)
        if (pair.priority == priority) SetPriorityClass(GetCurrentProcess(), pair.native);
}

ThreadPriority CurrentThreadPriority() {
    const int native = GetThreadPriority(GetCurrentThread());
    for (const ThreadPair& pair : kThreadPriorities)
        if (pair.native == native) return pair.priority;
    return ThreadPriority::Normal;
}

void SetThreadPriority(ThreadPriority priority) {
    for (const ThreadPair& pair : kThreadPriorities)
        if (pair.priority == priority) ::SetThreadPriority(GetCurrentThread(), pair.native);
}

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

void EndProcess(int exitCode) {
    // Only the output streams: flushing every stream would wait for standard
    // input's lock, which a front end's reader thread holds while it waits.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    RunBeforeProcessEnd();
    ExitProcess(static_cast<UINT>(exitCode));
}

// A window program's standard handles may be absent; the C runtime's
// descriptors are not taken by opened files there.
void OpenClosedStandardDescriptors() {}

} // namespace qv::platform
