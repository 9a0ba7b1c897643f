#pragma once
// Linux: the event loop as a queue drained by the window thread. The queue
// is the one synchronised object; every function runs on the window thread.
// A desktop window lends its toolkit's wait, which then sleeps for both.

#include "platform/EventLoop.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace qv::platform {

class QueueEventLoop final : public EventLoop {
public:
    QueueEventLoop();
    // Senders still waiting are released without their function having run,
    // and the loop is not torn down while one of them is still inside.
    ~QueueEventLoop() override;
    QueueEventLoop(const QueueEventLoop&) = delete;
    QueueEventLoop& operator=(const QueueEventLoop&) = delete;

    void ProcessMessages() override;
    void Pause(uint32_t milliseconds) override;
    void Run() override;
    void Terminate() override;
    bool Terminated() const override;
    bool SendAndWait(const std::function<void()>& function) override;
    void Post(std::function<void()> function) override;
    void SetWindowMessageHandler(WindowMessageHandler handler) override;
    void SetMessageWindow(void*) override {} // no native windows here
    bool SendWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void SetToolkitWait(ToolkitWait* wait) override;

    // Workers blocked in SendAndWait right now.
    int WaitingSenders() const;

private:
    // A sender waits on its own stack; the loop fills this in for it.
    struct SendState {
        const std::function<void()>* function = nullptr;
        bool done = false;
        bool dropped = false;
        std::exception_ptr error;
    };
    struct Message {
        std::function<void()> posted;
        SendState* send = nullptr;
    };

    bool HasWorkLocked() const { return terminated_ || !queue_.empty(); }
    void Dispatch(Message& message);
    // Sleeps until a message arrives, the deadline passes (none: no limit)
    // or the loop ends; false once the deadline has passed.
    bool WaitForWork(const std::optional<std::chrono::steady_clock::time_point>& deadline);
    void WakeLocked() {
        arrived_.notify_all();
        if (toolkit_ != nullptr) toolkit_->Wake();
    }

    const std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable sendDone_;
    std::deque<Message> queue_;
    bool terminated_ = false;
    bool closed_ = false;
    int activeSenders_ = 0;
    ToolkitWait* toolkit_ = nullptr;
    // Touched on the window thread only.
    WindowMessageHandler messageHandler_;
};

} // namespace qv::platform
