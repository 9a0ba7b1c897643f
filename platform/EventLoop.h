#pragma once
// The window thread's event loop. The run flow waits inside Pause while
// button handlers run, so processing nests: a handler run from
// ProcessMessages may itself call Pause. Workers reach the window thread only
// through SendAndWait (blocking) or Post.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace qv::platform {

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Runs the messages waiting now; returns at once when there are none.
    // An exception thrown by a posted function comes out here.
    virtual void ProcessMessages() = 0;
    // Waits the time while processing messages, without spinning; returns
    // early once the loop is terminated.
    virtual void Pause(uint32_t milliseconds) = 0;
    // Processes messages until Terminate.
    virtual void Run() = 0;
    // Asks the loop to end; callable from any thread.
    virtual void Terminate() = 0;
    virtual bool Terminated() const = 0;

    // Runs the function on the window thread and waits for it; from the
    // window thread itself it just runs it. An exception it throws is thrown
    // again to the caller. False when the loop is gone and the function did
    // not run.
    virtual bool SendAndWait(const std::function<void()>& function) = 0;
    // Queues the function for the window thread and returns at once; a front
    // end adds its input events (key presses) this way.
    virtual void Post(std::function<void()> function) = 0;
};

// SendAndWait for a function with a result: nothing when the loop is gone.
template <typename Function>
auto SendAndWaitFor(EventLoop& loop, Function&& function)
    -> std::optional<std::invoke_result_t<Function&>> {
    std::optional<std::invoke_result_t<Function&>> result;
    loop.SendAndWait([&] { result.emplace(function()); });
    return result;
}

// The loop of the calling thread, which becomes its window thread.
std::unique_ptr<EventLoop> MakeEventLoop();

} // namespace qv::platform
