#pragma once
// The window thread's event loop. The run flow waits inside Pause while
// button handlers run, so processing nests: a handler run from
// ProcessMessages may itself call Pause. Workers reach the window thread only
// through SendAndWait or SendWindowMessage (both blocking) or Post.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace qv::platform {

// A desktop toolkit's own wait for its input (the display connection), lent
// to the loop so that the window thread sleeps on both at once: the
// toolkit's events and the queue's messages.
class ToolkitWait {
public:
    virtual ~ToolkitWait() = default;
    // Dispatches the toolkit's events, waiting for one at most `seconds`
    // (0: only those already there; negative: no limit) or until Wake.
    virtual void Wait(double seconds) = 0;
    // From any thread: the Wait going on now, or else the next one, returns
    // soon.
    virtual void Wake() = 0;
};

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

    // Window messages (message number, wParam, lParam) that workers send to
    // the main window. The handler runs on the window thread; on Windows it
    // serves only until a native window is registered, whose own window
    // procedure then receives the messages as real ones. Set both from the
    // window thread; an empty handler or a null window unregisters. The
    // handler must not throw: a window procedure cannot pass it on.
    using WindowMessageHandler =
        std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
    virtual void SetWindowMessageHandler(WindowMessageHandler handler) = 0;
    // The native main window (an HWND on Windows); ignored elsewhere.
    virtual void SetMessageWindow(void* nativeWindow) = 0;
    // Sends the message with the blocking send and waits until it is handled,
    // so what lParam points to only has to live until the call returns.
    // Without a receiver the default handling drops it. False when it could
    // not be delivered (the loop or its window is gone).
    virtual bool SendWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

    // A toolkit's wait for the loop to sleep on; null gives the loop its own
    // wait back. Set from the window thread before any worker starts. A loop
    // that waits on native messages anyway ignores it.
    virtual void SetToolkitWait(ToolkitWait*) {}
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
