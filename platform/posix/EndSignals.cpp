#include "platform/EndSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE};

// One pipe and one reader for the life of the process: the handler may run
// at any moment, even while a watch is being made or undone.
int gSignalPipe[2] = {-1, -1};

void NoteSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // Non-blocking: a full pipe already holds a note, which is enough.
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

constexpr size_t kSignalCount = sizeof kEndSignals / sizeof kEndSignals[0];
// What the process had before the watch, given back when it ends.
struct sigaction gBefore[kSignalCount];

void InstallHandler() {
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignalCount; ++i)
        ::sigaction(kEndSignals[i], &action, &gBefore[i]);
}

void RestoreHandlers() {
    for (size_t i = 0; i < kSignalCount; ++i)
        ::sigaction(kEndSignals[i], &gBefore[i], nullptr);
}

} // namespace

struct EndSignalWatch::State {
    EventLoop* loop = nullptr;
    std::function<void()> onSignal;
};

namespace {

std::mutex gWatchLock;
EndSignalWatch::State* gWatch = nullptr;

void Deliver() {
    std::lock_guard guard(gWatchLock);
    if (gWatch != nullptr) gWatch->loop->Post(gWatch->onSignal);
}

bool StartReader() {
    static const bool started = [] {
        if (::pipe2(gSignalPipe, O_CLOEXEC) != 0) return false;
        ::fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
        std::thread([] {
            char byte = 0;
            for (;;) {
                const ssize_t got = ::read(gSignalPipe[0], &byte, 1);
                if (got == 1) Deliver();
                if (got == 0 || (got < 0 && errno != EINTR)) return;
            }
        }).detach();
        return true;
    }();
    return started;
}

} // namespace

EndSignalWatch::EndSignalWatch(EventLoop& loop, std::function<void()> onSignal)
    : state_(std::make_shared<State>()) {
    state_->loop = &loop;
    state_->onSignal = std::move(onSignal);
    if (!StartReader()) return;
    {
        std::lock_guard guard(gWatchLock);
        if (gWatch != nullptr) return; // the first watch keeps the signals
        gWatch = state_.get();
    }
    InstallHandler();
}

EndSignalWatch::~EndSignalWatch() {
    std::lock_guard guard(gWatchLock);
    if (gWatch != state_.get()) return;
    RestoreHandlers();
    gWatch = nullptr;
}

} // namespace qv::platform
