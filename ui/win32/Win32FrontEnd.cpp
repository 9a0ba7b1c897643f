#include "Win32FrontEnd.h"

#include "app/UnitMain.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <array>
#include <string>

namespace qv::ui {

namespace {

constexpr const char* kFontFace = "Tahoma";
constexpr int kFontHeight = -11;
constexpr const char* kLabelFontFace = "Arial Black";
constexpr int kLabelFontHeight = -13;
constexpr const char* kLineBreak = "\r\n";
constexpr int kGradientBands = 64;
constexpr int kDefaultScreenDepth = 32;

COLORREF Colour(unsigned value) {
    return static_cast<COLORREF>(value & 0xFFFFFF);
}

unsigned Blend(unsigned from, unsigned to, int step, int steps) {
    unsigned result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((from >> shift) & 0xFF);
        const int b = static_cast<int>((to >> shift) & 0xFF);
        result |= static_cast<unsigned>(a + (b - a) * step / steps) << shift;
    }
    return result;
}

struct Place {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    app::TPlace place;
};

// The layout: left, top, width, height of each component in the client area.
const std::array<Place, 8> kLayout = {{
    {kIdDevLabel, "STATIC", "", SS_CENTER, {20, 32, 300, 60}},
    {kIdImageLogo, "STATIC", "", SS_BLACKFRAME, {11, 10, 313, 99}},
    {kIdLabelProgress, "STATIC", app::form_text::kProgressCaption, SS_LEFT, {16, 110, 64, 18}},
    {kIdProgressBarLeft, PROGRESS_CLASSA, "", 0, {16, 128, 25, 17}},
    {kIdProgressBar, PROGRESS_CLASSA, "", 0, {41, 128, 279, 17}},
    {kIdMemoStatus,
     "EDIT",
     "",
     ES_MULTILINE | ES_READONLY | ES_CENTER | ES_AUTOVSCROLL | WS_VSCROLL,
     {16, 160, 305, 129}},
    {kIdButtonLeft,
     "BUTTON",
     app::form_text::kLayoutLeftCaption,
     BS_PUSHBUTTON | WS_TABSTOP,
     {16, 304, 145, 25}},
    {kIdButtonRight,
     "BUTTON",
     app::form_text::kLayoutRightCaption,
     BS_DEFPUSHBUTTON | WS_TABSTOP,
     {176, 304, 145, 25}},
}};

class Win32FrontEnd final : public app::FrontEnd, public app::MainView {
public:
    Win32FrontEnd() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        RegisterWindowClass();
        RECT frame{0, 0, app::kClientWidth, app::kClientHeight};
        const DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX;
        AdjustWindowRect(&frame, style, FALSE);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        window_ = CreateWindowExA(0, kWin32WindowClass, kWin32WindowTitle, style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), this);
        font_ = CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                            kFontFace);
        labelFont_ = CreateFontA(kLabelFontHeight, 0, 0, 0, FW_BLACK, 0, 0, 0, DEFAULT_CHARSET, 0,
                                 0, 0, 0, kLabelFontFace);
        for (const Place& place : kLayout)
            CreateComponent(place);
        background_ = CreateSolidBrush(Colour(app::kColourBlack));
    }

    ~Win32FrontEnd() override {
        if (window_ != nullptr) {
            SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
            DestroyWindow(window_);
        }
        DeleteObject(font_);
        DeleteObject(labelFont_);
        DeleteObject(background_);
    }

    // FrontEnd
    app::MainView& View() override { return *this; }
    platform::SystemFacts& Facts() override { return platform::ThisSystem(); }
    void Connect(app::MainViewEvents& events, app::WindowMessageFilter filter) override {
        events_ = &events;
        filter_ = std::move(filter);
    }
    void Start() override {} // the system reports the activation

    // MainView
    void AddStatusItem(const std::string& text) override {
        HWND memo = Control(kIdMemoStatus);
        const int length = GetWindowTextLengthA(memo);
        SendMessageA(memo, EM_SETSEL, length, length);
        const std::string item = length > 0 ? kLineBreak + text : text;
        SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(item.c_str()));
        SendMessageA(memo, EM_SCROLLCARET, 0, 0);
    }
    void SetCaption(app::Button button, const std::string& caption) override {
        SetWindowTextA(ButtonControl(button), caption.c_str());
    }
    std::string Caption(app::Button button) const override {
        char text[256] = {};
        GetWindowTextA(ButtonControl(button), text, sizeof text);
        return text;
    }
    void SetEnabled(app::Button button, bool enabled) override {
        EnableWindow(ButtonControl(button), enabled);
    }
    bool Enabled(app::Button button) const override {
        return IsWindowEnabled(ButtonControl(button));
    }
    void SetFocus(app::Button button) override { ::SetFocus(ButtonControl(button)); }
    void SetHintsShown(app::Button button, bool shown) override {
        hintsShown_[Index(button)] = shown;
    }
    void SetGaugePosition(app::Gauge gauge, int position) override {
        gauges_[Index(gauge)].position = position;
        SendMessageA(GaugeControl(gauge), PBM_SETPOS, position, 0);
    }
    int GaugePosition(app::Gauge gauge) const override { return gauges_[Index(gauge)].position; }
    void SetGaugeMax(app::Gauge gauge, int maximum) override {
        gauges_[Index(gauge)].maximum = maximum;
        SendMessageA(GaugeControl(gauge), PBM_SETRANGE32, 0, maximum);
    }
    int GaugeMax(app::Gauge gauge) const override { return gauges_[Index(gauge)].maximum; }
    void SetGaugeHint(app::Gauge gauge, const std::string& hint) override {
        gauges_[Index(gauge)].hint = hint;
    }
    void Beep() override { MessageBeep(MB_OK); }
    void ShowWindow() override {
        ::ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
    }
    void BringToFront() override { SetForegroundWindow(window_); }
    void MinimizeAndRestore() override {
        ::ShowWindow(window_, SW_MINIMIZE);
        ::ShowWindow(window_, SW_RESTORE);
    }
    int ScreenBitsPerPixel() const override {
        HDC screen = GetDC(nullptr);
        if (screen == nullptr) return kDefaultScreenDepth;
        const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        return depth;
    }
    void SetGradient(unsigned startColour, unsigned endColour) override {
        gradientStart_ = startColour;
        gradientEnd_ = endColour;
        for (app::Gauge gauge : {app::Gauge::Main, app::Gauge::Left}) {
            SendMessageA(GaugeControl(gauge), PBM_SETBARCOLOR, 0, Colour(endColour));
            SendMessageA(GaugeControl(gauge), PBM_SETBKCOLOR, 0, Colour(app::kColourBlack));
        }
        InvalidateRect(window_, nullptr, TRUE);
    }
    void SetConsoleFontColour(unsigned colour) override {
        consoleColour_ = colour;
        InvalidateRect(Control(kIdMemoStatus), nullptr, TRUE);
    }

private:
    struct GaugeState {
        int position = 0;
        int maximum = 100;
        std::string hint = app::form_text::kGaugeHint;
    };

    static size_t Index(app::Button button) { return button == app::Button::Left ? 0 : 1; }
    static size_t Index(app::Gauge gauge) { return gauge == app::Gauge::Main ? 0 : 1; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    HWND ButtonControl(app::Button button) const {
        return Control(button == app::Button::Left ? kIdButtonLeft : kIdButtonRight);
    }
    HWND GaugeControl(app::Gauge gauge) const {
        return Control(gauge == app::Gauge::Main ? kIdProgressBar : kIdProgressBarLeft);
    }

    static void RegisterWindowClass() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kWin32WindowClass;
        RegisterClassExA(&windowClass); // fails harmlessly once registered
    }

    void CreateComponent(const Place& place) {
        HWND control = CreateWindowExA(
            0, place.className, place.text, WS_CHILD | WS_VISIBLE | place.style, place.place.Left,
            place.place.Top, place.place.Width, place.place.Height, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)), GetModuleHandleA(nullptr),
            nullptr);
        SendMessageA(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(place.id == kIdLabelProgress ? labelFont_ : font_),
                     TRUE);
    }

    void PaintGradient(HDC dc) const {
        RECT client{};
        GetClientRect(window_, &client);
        for (int band = 0; band < kGradientBands; ++band) {
            RECT strip = client;
            strip.top = client.bottom * band / kGradientBands;
            strip.bottom = client.bottom * (band + 1) / kGradientBands;
            HBRUSH brush = CreateSolidBrush(
                Colour(Blend(gradientStart_, gradientEnd_, band, kGradientBands - 1)));
            FillRect(dc, &strip, brush);
            DeleteObject(brush);
        }
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        if (filter_) {
            if (const auto answer = filter_(message)) return *answer;
        }
        switch (message) {
        case WM_ERASEBKGND:
            PaintGradient(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const bool memo = reinterpret_cast<HWND>(lParam) == Control(kIdMemoStatus);
            SetTextColor(dc, Colour(memo ? consoleColour_ : app::kColourWhite));
            SetBkColor(dc, Colour(app::kColourBlack));
            return reinterpret_cast<LRESULT>(background_);
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && events_ != nullptr) {
                if (LOWORD(wParam) == kIdButtonLeft) events_->LeftClicked();
                if (LOWORD(wParam) == kIdButtonRight) events_->RightClicked();
                return 0;
            }
            break;
        case WM_ACTIVATEAPP:
            if (wParam != 0 && events_ != nullptr) events_->Activated();
            return 0;
        case WM_CLOSE:
            if (events_ != nullptr && !events_->CloseRequested()) return 0;
            break;
        case WM_NCHITTEST: {
            // No caption bar: the client area drags the window.
            const LRESULT hit = DefWindowProcA(window_, message, wParam, lParam);
            return hit == HTCLIENT ? HTCAPTION : hit;
        }
        default:
            break;
        }
        return DefWindowProcA(window_, message, wParam, lParam);
    }

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Win32FrontEnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr || self->window_ == nullptr)
            return DefWindowProcA(window, message, wParam, lParam);
        return self->Handle(message, wParam, lParam);
    }

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT labelFont_ = nullptr;
    HBRUSH background_ = nullptr;
    app::MainViewEvents* events_ = nullptr;
    app::WindowMessageFilter filter_;
    std::array<GaugeState, 2> gauges_;
    std::array<bool, 2> hintsShown_{true, true};
    unsigned gradientStart_ = app::kColourBlack;
    unsigned gradientEnd_ = app::kGradientEnd;
    unsigned consoleColour_ = app::kColourWhite;
};

} // namespace

std::unique_ptr<app::FrontEnd> MakeWin32FrontEnd(platform::EventLoop&) {
    return std::make_unique<Win32FrontEnd>();
}

} // namespace qv::ui
