#include "platform/EventLoop.h"
#include "platform/win32/WinApi.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace qv::platform {

namespace {

constexpr const char* kWindowClass = "QvPlatformEventLoop";
// Messages of our own message-only window, so WM_APP is free to use.
constexpr UINT kSendMessage = WM_APP + 1;
constexpr UINT kWakeMessage = WM_APP + 2;

// The numbers a window class keeps for messages of its own; the system's
// messages to our window (creation, destruction) never reach the handler.
bool IsPrivateMessage(UINT message) {
    return message >= WM_USER && message < WM_APP;
}

struct SendState {
    const std::function<void()>* function = nullptr;
    bool ran = false;
    std::exception_ptr error;
};

// Windows: the thread's own message loop. Sent functions go through a
// message-only window, so they run wherever the window thread processes
// messages, nested Pauses included. Posted functions wait in a queue of
// their own, so that one which posts again cannot keep ProcessMessages busy
// for ever (the system's queue would hand it straight back).
class Win32EventLoop final : public EventLoop {
public:
    Win32EventLoop() : owner_(GetCurrentThreadId()) {
        RegisterWindowClass();
        window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    ~Win32EventLoop() override {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }

    void ProcessMessages() override {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                terminated_ = true;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        RunPostedFunctions();
    }

    void Pause(uint32_t milliseconds) override {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        for (;;) {
            ProcessMessages();
            const ULONGLONG now = GetTickCount64();
            if (terminated_ || now >= deadline) return;
            if (!HasPostedFunctions()) WaitForInput(static_cast<DWORD>(deadline - now));
        }
    }

    void Run() override {
        for (;;) {
            ProcessMessages();
            if (terminated_) return;
            if (!HasPostedFunctions()) WaitForInput(INFINITE);
        }
    }

    void Terminate() override {
        terminated_ = true;
        PostMessageA(window_, kWakeMessage, 0, 0);
    }

    bool Terminated() const override { return terminated_; }

    bool SendAndWait(const std::function<void()>& function) override {
        if (GetCurrentThreadId() == owner_) {
            function();
            return true;
        }
        SendState state;
        state.function = &function;
        SendMessageA(window_, kSendMessage, 0, reinterpret_cast<LPARAM>(&state));
        if (state.error) std::rethrow_exception(state.error);
        return state.ran;
    }

    void Post(std::function<void()> function) override {
        {
            std::lock_guard lock(postedLock_);
            posted_.push_back(std::move(function));
        }
        PostMessageA(window_, kWakeMessage, 0, 0);
    }

    void SetWindowMessageHandler(WindowMessageHandler handler) override {
        messageHandler_ = std::move(handler);
    }

    void SetMessageWindow(void* nativeWindow) override {
        messageWindow_ = static_cast<HWND>(nativeWindow);
    }

    // A real window message, sent with the blocking send: to the registered
    // main window, else to our own window, whose procedure hands it to the
    // handler. The system runs it when the window thread next looks at its
    // messages, nested Pauses included.
    bool SendWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        HWND target = messageWindow_.load();
        if (target == nullptr) target = window_;
        if (!IsWindow(target)) return false;
        SendMessageA(target, message, wParam, lParam);
        return true;
    }

private:
    static void RegisterWindowClass() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExA(&windowClass); // fails harmlessly once registered
    }

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (loop != nullptr && message == kSendMessage) {
            loop->RunSent(*reinterpret_cast<SendState*>(lParam));
            return 0;
        }
        if (loop != nullptr && IsPrivateMessage(message) && loop->messageHandler_)
            return loop->RunWindowMessage(message, wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    }

    // No exception may cross the system's window procedure: it is carried
    // over it and thrown again in the sender.
    void RunSent(SendState& state) {
        try {
            (*state.function)();
        } catch (...) {
            state.error = std::current_exception();
        }
        state.ran = true;
    }

    LRESULT RunWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        try {
            result = messageHandler_(message, wParam, lParam);
        } catch (...) {
            // Nothing may cross the system's window procedure; the handler
            // promised not to throw.
        }
        Sleep(0); // the sender waits on us: give it the processor after every message
        return result;
    }

    // Only those waiting at the start, as on Linux.
    void RunPostedFunctions() {
        size_t budget = 0;
        {
            std::lock_guard lock(postedLock_);
            budget = posted_.size();
        }
        for (; budget > 0; --budget) {
            std::function<void()> function;
            {
                std::lock_guard lock(postedLock_);
                if (posted_.empty()) return;
                function = std::move(posted_.front());
                posted_.pop_front();
            }
            function();
        }
    }

    bool HasPostedFunctions() {
        std::lock_guard lock(postedLock_);
        return !posted_.empty();
    }

    static void WaitForInput(DWORD milliseconds) {
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }

    const DWORD owner_;
    HWND window_ = nullptr;
    // Read by the senders; set on the window thread.
    std::atomic<HWND> messageWindow_{nullptr};
    WindowMessageHandler messageHandler_; // window thread only
    std::atomic<bool> terminated_{false};
    std::mutex postedLock_;
    std::deque<std::function<void()>> posted_;
};

} // namespace

std::unique_ptr<EventLoop> MakeEventLoop() {
    return std::make_unique<Win32EventLoop>();
}

} // namespace qv::platform
