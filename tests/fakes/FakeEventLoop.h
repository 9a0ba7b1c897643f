#pragma once
// A single-threaded event loop on virtual time. Pause advances the shared
// clock and, on the way, runs the events a test scheduled with At (a button
// press at 1,200 ms, say), nested exactly where the real loop would run them.
// SendAndWait and SendWindowMessage run at once, as from the window thread.

#include "FakeClock.h"
#include "platform/EventLoop.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace qv::fakes {

class FakeEventLoop final : public platform::EventLoop {
public:
    explicit FakeEventLoop(FakeClock& clock) : clock_(clock) {}

    std::vector<uint32_t> pauses; // every Pause asked for, in order

    // Runs the function once the virtual time reaches the moment.
    void At(uint32_t moment, std::function<void()> function) {
        scheduled_.emplace(moment, std::move(function));
    }

    void ProcessMessages() override {
        for (size_t budget = queue_.size(); budget > 0 && !queue_.empty(); --budget) {
            std::function<void()> function = std::move(queue_.front());
            queue_.pop_front();
            function();
        }
    }

    void Pause(uint32_t milliseconds) override {
        pauses.push_back(milliseconds);
        const uint32_t deadline = clock_.now + milliseconds;
        for (;;) {
            ProcessMessages();
            if (terminated_) return;
            const auto next = scheduled_.begin();
            if (next == scheduled_.end() || next->first > deadline) break;
            clock_.now = std::max(clock_.now, next->first);
            queue_.push_back(std::move(next->second));
            scheduled_.erase(next);
        }
        clock_.now = std::max(clock_.now, deadline);
    }

    // Runs until Terminate, or until nothing is left to happen (a real loop
    // would wait for ever there; a test must not).
    void Run() override {
        while (!terminated_) {
            ProcessMessages();
            if (terminated_ || (queue_.empty() && scheduled_.empty())) return;
            if (queue_.empty()) {
                const auto next = scheduled_.begin();
                clock_.now = std::max(clock_.now, next->first);
                queue_.push_back(std::move(next->second));
                scheduled_.erase(next);
            }
        }
    }

    void Terminate() override { terminated_ = true; }
    bool Terminated() const override { return terminated_; }

    bool SendAndWait(const std::function<void()>& function) override {
        function();
        return true;
    }

    void Post(std::function<void()> function) override { queue_.push_back(std::move(function)); }

    void SetWindowMessageHandler(WindowMessageHandler handler) override {
        messageHandler_ = std::move(handler);
    }
    void SetMessageWindow(void*) override {}
    bool SendWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        if (messageHandler_) messageHandler_(message, wParam, lParam);
        return true;
    }

private:
    FakeClock& clock_;
    std::deque<std::function<void()>> queue_;
    std::multimap<uint32_t, std::function<void()>> scheduled_;
    bool terminated_ = false;
    WindowMessageHandler messageHandler_;
};

} // namespace qv::fakes
