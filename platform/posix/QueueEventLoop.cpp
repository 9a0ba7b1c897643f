#include "platform/posix/QueueEventLoop.h"

#include <chrono>

namespace qv::platform {

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

QueueEventLoop::QueueEventLoop() : owner_(std::this_thread::get_id()) {}

QueueEventLoop::~QueueEventLoop() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    for (Message& message : queue_)
        if (message.send != nullptr) message.send->dropped = true;
    queue_.clear();
    sendDone_.notify_all();
    sendDone_.wait(lock, [this] { return activeSenders_ == 0; });
}

void QueueEventLoop::ProcessMessages() {
    size_t budget = 0;
    ToolkitWait* toolkit = nullptr;
    {
        std::lock_guard lock(mutex_);
        budget = queue_.size();
        toolkit = toolkit_;
    }
    // The window's own input and repaints first, as a message loop would.
    if (toolkit != nullptr) toolkit->Wait(0);
    // Only what was waiting at the start: a function that posts again cannot
    // keep this call going for ever.
    for (; budget > 0; --budget) {
        Message message;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            message = std::move(queue_.front());
            queue_.pop_front();
        }
        Dispatch(message);
    }
}

bool QueueEventLoop::WaitForWork(const std::optional<Clock::time_point>& deadline) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return HasWorkLocked(); };
    if (toolkit_ == nullptr) {
        if (!deadline) {
            arrived_.wait(lock, ready);
            return true;
        }
        return arrived_.wait_until(lock, *deadline, ready);
    }
    if (ready()) return true;
    ToolkitWait* toolkit = toolkit_;
    lock.unlock();
    // A message that comes in now has woken the toolkit already: Wake holds
    // until the next Wait.
    if (!deadline) {
        toolkit->Wait(-1);
        return true;
    }
    const auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    toolkit->Wait(std::chrono::duration<double>(left).count());
    return true;
}

void QueueEventLoop::Pause(uint32_t milliseconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        ProcessMessages();
        if (Terminated() || !WaitForWork(deadline)) return;
    }
}

void QueueEventLoop::Run() {
    for (;;) {
        ProcessMessages();
        if (Terminated()) return;
        WaitForWork(std::nullopt);
    }
}

void QueueEventLoop::Terminate() {
    std::lock_guard lock(mutex_);
    terminated_ = true;
    WakeLocked();
}

bool QueueEventLoop::Terminated() const {
    std::lock_guard lock(mutex_);
    return terminated_;
}

bool QueueEventLoop::SendAndWait(const std::function<void()>& function) {
    if (std::this_thread::get_id() == owner_) {
        function();
        return true;
    }
    SendState state;
    state.function = &function;
    std::unique_lock lock(mutex_);
    if (closed_) return false;
    ++activeSenders_;
    queue_.push_back(Message{{}, &state});
    WakeLocked();
    sendDone_.wait(lock, [&state] { return state.done || state.dropped; });
    --activeSenders_;
    sendDone_.notify_all();
    lock.unlock();
    if (state.error) std::rethrow_exception(state.error);
    return state.done;
}

void QueueEventLoop::Post(std::function<void()> function) {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    queue_.push_back(Message{std::move(function), nullptr});
    WakeLocked();
}

void QueueEventLoop::SetWindowMessageHandler(WindowMessageHandler handler) {
    messageHandler_ = std::move(handler);
}

// The message rides the queue like any sent function; the handler is looked
// up on the window thread when the message comes up, as a window procedure
// would be.
bool QueueEventLoop::SendWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return SendAndWait([&] {
        if (!messageHandler_) return; // no window: the default handling drops it
        messageHandler_(message, wParam, lParam);
        // The sender waits on us: give it the processor after every message.
        std::this_thread::yield();
    });
}

void QueueEventLoop::SetToolkitWait(ToolkitWait* wait) {
    std::lock_guard lock(mutex_);
    toolkit_ = wait;
}

int QueueEventLoop::WaitingSenders() const {
    std::lock_guard lock(mutex_);
    return activeSenders_;
}

void QueueEventLoop::Dispatch(Message& message) {
    if (message.send == nullptr) {
        message.posted();
        return;
    }
    SendState& state = *message.send;
    try {
        (*state.function)();
    } catch (...) {
        state.error = std::current_exception(); // thrown again in the sender
    }
    std::lock_guard lock(mutex_);
    state.done = true;
    sendDone_.notify_all();
}

std::unique_ptr<EventLoop> MakeEventLoop() {
    return std::make_unique<QueueEventLoop>();
}

} // namespace qv::platform
