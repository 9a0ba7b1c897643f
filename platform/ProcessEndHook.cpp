#include "platform/Processes.h"

#include <mutex>
#include <utility>

namespace qv::platform {

namespace {

struct EndHook {
    std::mutex lock;
    std::function<void()> hook;
};

EndHook& TheHook() {
    static EndHook hook;
    return hook;
}

} // namespace

void SetBeforeProcessEnd(std::function<void()> hook) {
    std::lock_guard guard(TheHook().lock);
    TheHook().hook = std::move(hook);
}

void RunBeforeProcessEnd() {
    std::function<void()> hook;
    {
        std::lock_guard guard(TheHook().lock);
        hook = std::move(TheHook().hook);
    }
    if (hook) hook();
}

} // namespace qv::platform
