#include "LibburnThreads.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

extern "C" int __real_pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                     void* (*start)(void*), void* argument);

namespace qv::engine {

namespace {

using EndMark = std::shared_ptr<std::atomic<bool>>;

struct StartedThread {
    pthread_t thread;
    EndMark ended; // set when libburn's routine has returned
};

struct Started {
    std::mutex mutex;
    std::vector<StartedThread> threads; // started joinable on libburn's behalf, not yet joined
};

Started& StartedThreads() {
    static Started started;
    return started;
}

struct Launch {
    void* (*start)(void*);
    void* argument;
    EndMark ended;
};

void* RunToEnd(void* raw) {
    const std::unique_ptr<Launch> launch(static_cast<Launch*>(raw));
    void* result = launch->start(launch->argument);
    *launch->ended = true;
    return result;
}

bool AsksForDetached(const pthread_attr_t* attr) {
    int state = PTHREAD_CREATE_JOINABLE;
    return attr != nullptr && pthread_attr_getdetachstate(attr, &state) == 0 &&
           state == PTHREAD_CREATE_DETACHED;
}

// The same stack size, joinable, through RunToEnd.
int StartJoinable(pthread_t* thread, const pthread_attr_t* attr, Launch* launch) {
    pthread_attr_t joinable;
    if (const int failed = pthread_attr_init(&joinable); failed != 0) return failed;
    size_t stackSize = 0;
    if (pthread_attr_getstacksize(attr, &stackSize) == 0)
        pthread_attr_setstacksize(&joinable, stackSize);
    const int result = __real_pthread_create(thread, &joinable, RunToEnd, launch);
    pthread_attr_destroy(&joinable);
    return result;
}

} // namespace

bool LibburnThreadsRunning() {
    std::lock_guard lock(StartedThreads().mutex);
    return std::any_of(StartedThreads().threads.begin(), StartedThreads().threads.end(),
                       [](const StartedThread& started) { return !*started.ended; });
}

void JoinLibburnThreads() {
    std::vector<StartedThread> ended;
    {
        std::lock_guard lock(StartedThreads().mutex);
        ended.swap(StartedThreads().threads);
    }
    for (const StartedThread& started : ended)
        pthread_join(started.thread, nullptr);
}

} // namespace qv::engine

// Every pthread_create inside the engine comes here. Joinable requests pass
// through unchanged (whoever asked joins them).
extern "C" int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                     void* (*start)(void*), void* argument) {
    using namespace qv::engine;
    if (!AsksForDetached(attr)) return __real_pthread_create(thread, attr, start, argument);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    auto launch = std::make_unique<Launch>(Launch{start, argument, ended});
    std::lock_guard lock(StartedThreads().mutex);
    const int result = StartJoinable(thread, attr, launch.get());
    if (result != 0) return result;
    launch.release(); // RunToEnd owns it now
    StartedThreads().threads.push_back({*thread, ended});
    return result;
}
