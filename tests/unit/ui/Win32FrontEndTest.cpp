#ifdef _WIN32
#include "win32/Win32FrontEnd.h"

#include <gtest/gtest.h>

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
    int left = 0, right = 0, activations = 0, closeRequests = 0;
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
    frontEnd->Connect(events, [](uint32_t message) -> std::optional<intptr_t> {
        if (message == WM_APP + 77) return 1;
        return std::nullopt;
    });
    frontEnd->View().ShowWindow();
    HWND window = FindWindowA(kWin32WindowClass, kWin32WindowTitle);
    ASSERT_NE(window, nullptr);
    for (const int id : {kIdDevLabel, kIdImageLogo, kIdLabelProgress, kIdProgressBarLeft,
                         kIdProgressBar, kIdMemoStatus, kIdButtonLeft, kIdButtonRight})
        EXPECT_NE(GetDlgItem(window, id), nullptr) << id;
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 334);
    EXPECT_EQ(client.bottom, 343);

    app::MainView& view = frontEnd->View();
    EXPECT_EQ(view.Caption(app::Button::Right), "&Ok");
    view.SetCaption(app::Button::Right, "Please Wait");
    EXPECT_EQ(view.Caption(app::Button::Right), "Please Wait");
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
    EXPECT_EQ(SendMessageA(window, WM_APP + 77, 0, 0), 1);
    SendMessageA(window, WM_CLOSE, 0, 0);
    Drain();
    EXPECT_EQ(events.closeRequests, 1);
    EXPECT_TRUE(IsWindow(window));
}

} // namespace
} // namespace qv::ui
#endif
