#include "LibburnThreads.h"

#include <pthread.h>

#include <mutex>
#include <vector>

extern "C" int __real_pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                     void* (*start)(void*), void* argument);

namespace qv::engine {

namespace {

struct Started {
    std::mutex mutex;
    std::vector<pthread_t> threads; // started joinable on libburn's behalf, not yet joined
};

Started& StartedThreads() {
    static Started started;
    return started;
}

bool AsksForDetached(const pthread_attr_t* attr) {
    int state = PTHREAD_CREATE_JOINABLE;
    return attr != nullptr && pthread_attr_getdetachstate(attr, &state) == 0 &&
           state == PTHREAD_CREATE_DETACHED;
}

// The same attributes, joinable.
int StartJoinable(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                  void* argument) {
    pthread_attr_t joinable;
    if (const int failed = pthread_attr_init(&joinable); failed != 0) return failed;
    size_t stackSize = 0;
    if (pthread_attr_getstacksize(attr, &stackSize) == 0)
        pthread_attr_setstacksize(&joinable, stackSize);
    const int result = __real_pthread_create(thread, &joinable, start, argument);
    pthread_attr_destroy(&joinable);
    return result;
}

} // namespace

void JoinLibburnThreads() {
    std::vector<pthread_t> ended;
    {
        std::lock_guard lock(StartedThreads().mutex);
        ended.swap(StartedThreads().threads);
    }
    for (pthread_t thread : ended)
        pthread_join(thread, nullptr);
}

} // namespace qv::engine

// Every pthread_create inside the engine comes here. Joinable requests pass
// through unchanged (whoever asked joins them).
extern "C" int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                     void* (*start)(void*), void* argument) {
    using namespace qv::engine;
    if (!AsksForDetached(attr)) return __real_pthread_create(thread, attr, start, argument);
    std::lock_guard lock(StartedThreads().mutex);
    const int result = StartJoinable(thread, attr, start, argument);
    if (result == 0) StartedThreads().threads.push_back(*thread);
    return result;
}
