#ifdef _WIN32
#include "ui/win32/Win32FrontEnd.h"

#include "app/RunFlow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace qv::ui {
namespace {

class CountingEvents : public app::MainViewEvents {
public:
    void LeftClicked() override { ++left; }
    void RightClicked() override { ++right; }
    void Activated() override { ++activations; }
    bool CloseRequested() override {
        ++closeRequests;
        return false;
    }
    std::optional<intptr_t> WindowMessage(uint32_t message, uintptr_t, intptr_t) override {
        if (message == app::WM_BURNPROGRESS || message == app::WM_BURNSTATUS)
            burnMessages.emplace_back(message, GetCurrentThreadId() == windowThread);
        if (message == kAnsweredMessage) return 1;
        return std::nullopt;
    }
    int LoopEnded() override { return 0; }
    static constexpr uint32_t kAnsweredMessage = WM_APP + 77;
    int left = 0, right = 0, activations = 0, closeRequests = 0;
    const DWORD windowThread = GetCurrentThreadId();
    // Each burn message, and whether it came on the window thread.
    std::vector<std::pair<uint32_t, bool>> burnMessages;
};

void Drain() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

TEST(Win32FrontEndTest, TheWindowHasTheLayoutsComponentsAndRefusesToClose) {
    const auto loop = platform::MakeEventLoop();
    const auto frontEnd = MakeWin32FrontEnd(*loop);
    CountingEvents events;
    frontEnd->Connect(events);
    frontEnd->View().ShowWindow();
    HWND window = FindWindowA(kWin32WindowClass, app::kWindowTitle);
    ASSERT_NE(window, nullptr);
    for (const int id : {kIdDevLabel, kIdImageLogo, kIdLabelProgress, kIdProgressBarLeft,
                         kIdProgressBar, kIdMemoStatus, kIdButtonLeft, kIdButtonRight})
        EXPECT_NE(GetDlgItem(window, id), nullptr) << id;
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 334);
    EXPECT_EQ(client.bottom, 343);

    app::MainView& view = frontEnd->View();
    const auto rightCaption = [window] {
        char caption[64] = {};
        GetWindowTextA(GetDlgItem(window, kIdButtonRight), caption, sizeof caption);
        return std::string(caption);
    };
    EXPECT_EQ(rightCaption(), "&Ok");
    view.SetCaption(app::Button::Right, "Please Wait");
    EXPECT_EQ(rightCaption(), "Please Wait");
    view.SetGaugeMax(app::Gauge::Main, 100);
    view.SetGaugePosition(app::Gauge::Main, 57);
    EXPECT_EQ(SendMessageA(GetDlgItem(window, kIdProgressBar), PBM_GETPOS, 0, 0), 57);
    view.AddStatusItem("first");
    view.AddStatusItem("second");
    char memo[64] = {};
    GetWindowTextA(GetDlgItem(window, kIdMemoStatus), memo, sizeof memo);
    EXPECT_STREQ(memo, "first\r\nsecond");

    SendMessageA(GetDlgItem(window, kIdButtonRight), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(window, kIdButtonLeft), BM_CLICK, 0, 0);
    EXPECT_EQ(events.right, 1);
    EXPECT_EQ(events.left, 1);
    EXPECT_EQ(SendMessageA(window, CountingEvents::kAnsweredMessage, 0, 0), 1);
    SendMessageA(window, WM_CLOSE, 0, 0);
    Drain();
    EXPECT_EQ(events.closeRequests, 1);
    EXPECT_TRUE(IsWindow(window));
}

// A worker's burn message is a real message to the main window: its window
// procedure hands it to the events on the window thread, not the loop's
// fallback handler.
TEST(Win32FrontEndTest, WorkersWindowMessagesReachTheMainWindowsProcedure) {
    const auto loop = platform::MakeEventLoop();
    int fallbackCalls = 0;
    loop->SetWindowMessageHandler([&](uint32_t, uintptr_t, intptr_t) {
        ++fallbackCalls;
        return intptr_t{0};
    });
    std::vector<std::pair<uint32_t, bool>> seen;
    {
        const auto frontEnd = MakeWin32FrontEnd(*loop);
        CountingEvents events;
        frontEnd->Connect(events);
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            const char line[] = "status";
            loop->SendWindowMessage(app::WM_BURNPROGRESS, 57, 100);
            loop->SendWindowMessage(app::WM_BURNSTATUS, 0, reinterpret_cast<intptr_t>(line));
            finished = true;
        });
        for (int round = 0; round < 6000 && !finished; ++round)
            loop->Pause(10);
        worker.join();
        seen = events.burnMessages;
    }
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, bool>>{{app::WM_BURNPROGRESS, true},
                                                            {app::WM_BURNSTATUS, true}}));
    EXPECT_EQ(fallbackCalls, 0);
    // Once the main window is gone the loop's own window takes them again.
    EXPECT_TRUE(loop->SendWindowMessage(app::WM_BURNPROGRESS, 1, 100));
    EXPECT_EQ(fallbackCalls, 1);
}

} // namespace
} // namespace qv::ui
#endif
