#include "platform/EventLoop.h"
#include "tests/fakes/FakeEventLoop.h"

#ifndef _WIN32
#include "platform/posix/QueueEventLoop.h"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qv::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Keeps the window thread processing until the condition holds (or a
// generous limit passes), as the applet's own waits do.
void PauseUntil(EventLoop& loop, const std::function<bool()>& condition) {
    const auto limit = Clock::now() + std::chrono::seconds(60);
    while (!condition() && Clock::now() < limit)
        loop.Pause(10);
}

TEST(PlatformEventLoop, SendFromWorkerRunsOnTheWindowThread) {
    auto loop = MakeEventLoop();
    const std::thread::id windowThread = std::this_thread::get_id();
    std::optional<std::thread::id> ranOn;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        ranOn = SendAndWaitFor(*loop, [] { return std::this_thread::get_id(); });
        finished = true;
    });
    PauseUntil(*loop, [&] { return finished.load(); });
    worker.join();
    ASSERT_TRUE(ranOn.has_value());
    EXPECT_EQ(*ranOn, windowThread);
}

TEST(PlatformEventLoop, SendFromTheWindowThreadRunsAtOnce) {
    auto loop = MakeEventLoop();
    EXPECT_EQ(SendAndWaitFor(*loop, [] { return 42; }), 42);
}

TEST(PlatformEventLoop, ExceptionReachesTheSender) {
    auto loop = MakeEventLoop();
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try {
            loop->SendAndWait([] { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    PauseUntil(*loop, [&] { return caught.load(); });
    worker.join();
    EXPECT_TRUE(caught);
}

TEST(PlatformEventLoop, ManyWorkersSendConcurrently) {
    auto loop = MakeEventLoop();
    constexpr int kWorkers = 4;
    constexpr int kSends = 200;
    int total = 0; // touched on the window thread only
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&] {
            for (int i = 0; i < kSends; ++i)
                loop->SendAndWait([&] { ++total; });
            ++done;
        });
    PauseUntil(*loop, [&] { return done == kWorkers; });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(total, kWorkers * kSends);
}

// A button handler may pause while a worker's send is waiting: the send is
// handled inside the nested pause.
TEST(PlatformEventLoop, HandlersNestInsidePause) {
    auto loop = MakeEventLoop();
    std::vector<int> order;
    std::atomic<bool> workerDone{false};
    loop->Post([&] {
        order.push_back(1);
        std::thread([&] {
            loop->SendAndWait([&] { order.push_back(2); });
            workerDone = true;
        }).detach();
        PauseUntil(*loop, [&] { return workerDone.load(); });
        order.push_back(3);
    });
    loop->ProcessMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(PlatformEventLoop, ProcessMessagesReturnsAtOnceWhenIdle) {
    auto loop = MakeEventLoop();
    const auto start = Clock::now();
    loop->ProcessMessages();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

TEST(PlatformEventLoop, PostedFunctionsRunInOrderAndPostingAgainCannotLoop) {
    auto loop = MakeEventLoop();
    std::vector<int> order;
    std::function<void()> again = [&] {
        order.push_back(0);
        loop->Post(again);
    };
    loop->Post([&] { order.push_back(1); });
    loop->Post([&] { order.push_back(2); });
    loop->Post(again);
    loop->ProcessMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0}));
}

// Only lower bounds: a loaded machine may oversleep, never undersleep.
TEST(PlatformEventLoop, PauseWaitsAtLeastTheTime) {
    auto loop = MakeEventLoop();
    const auto start = Clock::now();
    loop->Pause(120);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(110));
}

TEST(PlatformEventLoop, TerminateFromWorkerEndsPauseAndRun) {
    auto loop = MakeEventLoop();
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loop->Terminate();
    });
    const auto start = Clock::now();
    loop->Pause(120000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
    EXPECT_TRUE(loop->Terminated());
    loop->Run(); // returns at once once terminated
    worker.join();
}

TEST(PlatformEventLoop, RunProcessesUntilTerminated) {
    auto loop = MakeEventLoop();
    int handled = 0;
    std::thread worker([&] {
        for (int i = 0; i < 10; ++i)
            loop->SendAndWait([&] { ++handled; });
        loop->Post([&] { loop->Terminate(); });
    });
    loop->Run();
    worker.join();
    EXPECT_EQ(handled, 10);
}

#ifndef _WIN32
// A toolkit's wait as a desktop window lends it: it sleeps until woken or
// timed out, and a wake that comes before the wait is kept for it.
class SleepyToolkit final : public ToolkitWait {
public:
    void Wait(double seconds) override {
        std::unique_lock lock(mutex_);
        ++waits;
        const auto woken = [this] { return wake_; };
        if (seconds < 0)
            changed_.wait(lock, woken);
        else
            changed_.wait_for(lock, std::chrono::duration<double>(seconds), woken);
        wake_ = false;
    }
    void Wake() override {
        std::lock_guard lock(mutex_);
        wake_ = true;
        changed_.notify_all();
    }
    int waits = 0; // read once the workers are done

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool wake_ = false;
};

// With the toolkit's wait lent, the loop sleeps in it: a worker's sends and
// its Terminate wake it (none lost), Pause still keeps its time, and idle
// waiting is a handful of waits, not a spin.
TEST(PlatformEventLoop, ALentToolkitWaitSleepsForBothAndIsWokenByWorkers) {
    QueueEventLoop loop;
    SleepyToolkit toolkit;
    loop.SetToolkitWait(&toolkit);
    const auto start = Clock::now();
    loop.Pause(120);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(110));
    EXPECT_LT(toolkit.waits, 20);

    int handled = 0;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            loop.SendAndWait([&] { ++handled; });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loop.Terminate();
    });
    loop.Run(); // would hang on a lost wake-up
    worker.join();
    EXPECT_EQ(handled, 50);
    loop.SetToolkitWait(nullptr);
}
#endif

// What a window-message handler saw, on the window thread.
struct SeenMessage {
    uint32_t message;
    uintptr_t wParam;
    std::string text; // lParam read as a line while the sender still holds it
    bool onWindowThread;
    bool operator==(const SeenMessage&) const = default;
};

// The burn side's two messages: the status line arrives intact (line breaks
// and all) and each sender is held until the window has handled its message,
// which is what keeps the sender's line alive.
TEST(PlatformEventLoop, SentWindowMessagesArriveIntactAndHoldTheSender) {
    auto loop = MakeEventLoop();
    const std::thread::id windowThread = std::this_thread::get_id();
    std::vector<SeenMessage> seen;
    std::atomic<int> handled{0};
    loop->SetWindowMessageHandler([&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30)); // a slow window
        const bool isStatus = message == 1125;
        seen.push_back(
            {message, wParam,
             isStatus ? std::string(reinterpret_cast<const char*>(lParam)) : std::to_string(lParam),
             std::this_thread::get_id() == windowThread});
        ++handled;
        return intptr_t{0};
    });
    const std::string line = "\r\n\r\n*** Unable to set the speed.\r\n Bad parameter passed";
    std::vector<int> handledWhenSendReturned;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (const uint32_t percent : {10u, 57u}) {
            EXPECT_TRUE(loop->SendWindowMessage(1124, percent, 100));
            handledWhenSendReturned.push_back(handled.load());
        }
        std::string owned = line; // gone the moment the send returns
        EXPECT_TRUE(loop->SendWindowMessage(1125, 0, reinterpret_cast<intptr_t>(owned.c_str())));
        handledWhenSendReturned.push_back(handled.load());
        owned.assign(owned.size(), 'x');
        finished = true;
    });
    PauseUntil(*loop, [&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(seen, (std::vector<SeenMessage>{
                        {1124, 10, "100", true}, {1124, 57, "100", true}, {1125, 0, line, true}}));
    EXPECT_EQ(handledWhenSendReturned, (std::vector<int>{1, 2, 3}));
}

TEST(PlatformEventLoop, WindowMessagesFromTheWindowThreadAndWithoutAWindow) {
    auto loop = MakeEventLoop();
    // No window registered: the message is dropped and the sender goes on.
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        loop->SendWindowMessage(1124, 5, 100);
        finished = true;
    });
    PauseUntil(*loop, [&] { return finished.load(); });
    worker.join();
    EXPECT_TRUE(finished);
    // From the window thread itself the handler runs before the send returns.
    std::vector<uintptr_t> seen;
    loop->SetWindowMessageHandler([&](uint32_t, uintptr_t wParam, intptr_t) {
        seen.push_back(wParam);
        return intptr_t{0};
    });
    EXPECT_TRUE(loop->SendWindowMessage(1124, 42, 100));
    EXPECT_EQ(seen, (std::vector<uintptr_t>{42}));
}

#ifndef _WIN32
// The cancel path: the window goes while a worker is blocked sending to it.
TEST(PlatformEventLoop, WaitingSenderIsReleasedWhenTheLoopGoes) {
    auto loop = std::make_unique<QueueEventLoop>();
    std::atomic<int> result{-1};
    std::atomic<bool> ran{false};
    std::thread worker([&] { result = loop->SendAndWait([&] { ran = true; }) ? 1 : 0; });
    while (loop->WaitingSenders() == 0)
        std::this_thread::yield();
    loop.reset();
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(result, 0);
}
#endif

TEST(PlatformFakeEventLoop, ScheduledEventsRunInsideTheRightPause) {
    fakes::FakeClock clock;
    fakes::FakeEventLoop loop(clock);
    std::vector<std::pair<uint32_t, int>> seen;
    loop.At(1200, [&] {
        seen.emplace_back(clock.now, 1);
        loop.Pause(50); // nested, as a button handler might
        seen.emplace_back(clock.now, 2);
    });
    loop.At(5000, [&] { seen.emplace_back(clock.now, 3); });
    loop.Pause(1000);
    EXPECT_TRUE(seen.empty());
    loop.Pause(1000);
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, int>>{{1200, 1}, {1250, 2}}));
    EXPECT_EQ(clock.now, 2000u);
    loop.Run();
    EXPECT_EQ(seen.back(), (std::pair<uint32_t, int>{5000, 3}));
    EXPECT_EQ(loop.pauses, (std::vector<uint32_t>{1000, 1000, 50}));
}

} // namespace
} // namespace qv::platform
