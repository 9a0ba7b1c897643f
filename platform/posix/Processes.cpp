#include "platform/Processes.h"
#include "platform/posix/SpawnDetached.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr const char* kShellPath = "/bin/sh";

// Linux has one nice value per thread and no class for the process: the
// class gives a base, the thread priority an offset on it, as on Windows.
int BaseNice(ProcessPriority priority) {
    switch (priority) {
    case ProcessPriority::Idle:
        return 19;
    case ProcessPriority::BelowNormal:
        return 5;
    case ProcessPriority::Normal:
        return 0;
    case ProcessPriority::AboveNormal:
        return -5;
    case ProcessPriority::High:
        return -10;
    case ProcessPriority::Realtime:
        return -20;
    }
    return 0;
}

int NiceOffset(ThreadPriority priority) {
    switch (priority) {
    case ThreadPriority::Idle:
        return 19;
    case ThreadPriority::Lowest:
        return 10;
    case ThreadPriority::BelowNormal:
        return 5;
    case ThreadPriority::Normal:
        return 0;
    case ThreadPriority::AboveNormal:
        return -5;
    case ThreadPriority::Highest:
        return -10;
    case ThreadPriority::TimeCritical:
        return -20;
    }
    return 0;
}

struct PriorityBook {
    std::mutex lock;
    ProcessPriority process = ProcessPriority::Normal;
    std::map<pid_t, ThreadPriority> threads; // only threads set away from Normal
};

PriorityBook& Book() {
    static PriorityBook book;
    return book;
}

ThreadPriority PriorityOf(const PriorityBook& book, pid_t thread) {
    const auto found = book.threads.find(thread);
    return found == book.threads.end() ? ThreadPriority::Normal : found->second;
}

// Refusals (an ordinary user may not lower a nice value) are ignored.
void ApplyNice(const PriorityBook& book, pid_t thread) {
    const int nice =
        std::clamp(BaseNice(book.process) + NiceOffset(PriorityOf(book, thread)), -20, 19);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice);
}

template <typename Visit> void ForEachThread(Visit visit) {
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) {
        visit(::gettid());
        return;
    }
    while (const dirent* entry = ::readdir(tasks)) {
        const pid_t thread = static_cast<pid_t>(std::atoi(entry->d_name));
        if (thread > 0) visit(thread);
    }
    ::closedir(tasks);
}

} // namespace

bool StartBatchDetached(const std::string& batchFullPath, bool /*ntFamily*/) {
    // The shell would start and fail unseen; report it here, as Windows does.
    if (::access(batchFullPath.c_str(), R_OK) != 0) return false;
    return SpawnDetached({kShellPath, batchFullPath});
}

ProcessPriority CurrentProcessPriority() {
    PriorityBook& book = Book();
    std::lock_guard guard(book.lock);
    return book.process;
}

void SetProcessPriority(ProcessPriority priority) {
    PriorityBook& book = Book();
    std::lock_guard guard(book.lock);
    book.process = priority;
    ForEachThread([&book](pid_t thread) { ApplyNice(book, thread); });
}

ThreadPriority CurrentThreadPriority() {
    PriorityBook& book = Book();
    std::lock_guard guard(book.lock);
    return PriorityOf(book, ::gettid());
}

void SetThreadPriority(ThreadPriority priority) {
    PriorityBook& book = Book();
    std::lock_guard guard(book.lock);
    const pid_t self = ::gettid();
    if (priority == ThreadPriority::Normal)
        book.threads.erase(self);
    else
        book.threads[self] = priority;
    ApplyNice(book, self);
}

long CurrentProcessId() {
    return static_cast<long>(::getpid());
}

void EndProcess(int exitCode) {
    // Only the output streams: flushing every stream would wait for standard
    // input's lock, which a front end's reader thread holds while it waits.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    RunBeforeProcessEnd();
    ::_exit(exitCode);
}

void OpenClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower ones are open by now, so the new descriptor is this one.
        const int opened = ::open(kNullDevice, fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

} // namespace qv::platform
