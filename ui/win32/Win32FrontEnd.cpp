#include "Win32FrontEnd.h"

#include "Win32Paint.h"

#include "DesktopRules.h"

// After windows.h (through Win32Paint.h), which it needs.
#include <commctrl.h>

#include <array>
#include <cctype>
#include <optional>
#include <string>

namespace qv::ui {

namespace {

// Negative heights ask for the character height, as the layout gives it.
constexpr int kFontHeight = -app::layout::kBodySize;
constexpr int kLabelFontHeight = -app::layout::kLabelSize;
constexpr int kLogoNameHeight = -app::layout::kLogoNameSize;
constexpr const char* kLineBreak = "\r\n";
constexpr int kDefaultScreenDepth = 32;
constexpr int kCaptionLength = 256;
// Key message flags: the Alt key held, and a key held down repeating.
constexpr LPARAM kAltHeld = LPARAM{1} << 29;
constexpr LPARAM kRepeated = LPARAM{1} << 30;
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
constexpr size_t kLeftButtonPlace = 6;
constexpr size_t kRightButtonPlace = 7;

COLORREF Colour(unsigned value) {
    return static_cast<COLORREF>(value & 0xFFFFFF);
}

struct Place {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    app::TPlace place;
    const char* hint; // null: no hint
};

// The layout: left, top, width, height of each component in the client area.
const std::array<Place, 8> kLayout = {{
    {kIdDevLabel, "STATIC", "", SS_CENTER, app::layout::kDevLabel, nullptr},
    {kIdImageLogo, "STATIC", "", SS_OWNERDRAW, app::layout::kShownImageLogo, nullptr},
    {kIdLabelProgress, "STATIC", app::layout::kProgressCaption, SS_LEFT | SS_NOPREFIX,
     app::layout::kLabelProgress, nullptr},
    {kIdProgressBarLeft, PROGRESS_CLASSA, "", 0, app::layout::kProgressBarLeft,
     app::layout::kGaugeHint},
    {kIdProgressBar, PROGRESS_CLASSA, "", 0, app::layout::kShownProgressBar,
     app::layout::kGaugeHint},
    {kIdMemoStatus, "EDIT", "",
     ES_MULTILINE | ES_READONLY | ES_CENTER | ES_AUTOVSCROLL | WS_VSCROLL, app::layout::kMemoStatus,
     app::layout::kMemoHint},
    {kIdButtonLeft, "BUTTON", app::layout::kLeftCaption, BS_OWNERDRAW | WS_TABSTOP,
     app::layout::kButtonLeft, app::layout::kLeftHint},
    {kIdButtonRight, "BUTTON", app::layout::kRightCaption, BS_OWNERDRAW | WS_TABSTOP,
     app::layout::kButtonRight, nullptr},
}};

// No caption bar; the frame is painted by us around the client area.
constexpr DWORD kWindowStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

class Win32FrontEnd final : public app::FrontEnd, public app::MainView {
public:
    explicit Win32FrontEnd(platform::EventLoop& loop) : loop_(loop) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        RegisterWindowClass();
        CreateFonts();
        const int width = app::kClientWidth + 2 * app::kFrameWidth;
        const int height = app::kClientHeight + 2 * app::kFrameWidth;
        const ScreenPoint origin = PlaceOnScreen(width, height);
        window_ = CreateWindowExA(WS_EX_APPWINDOW, kWin32WindowClass, app::kWindowTitle,
                                  kWindowStyle, origin.x, origin.y, width, height, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), this);
        canvas_.Rebuild(app::kClientWidth, app::kClientHeight, Colour(gradientStart_),
                        Colour(gradientEnd_));
        tooltips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        for (const Place& place : kLayout)
            CreateComponent(place);
        // The burn side's messages come to this window's procedure.
        loop_.SetMessageWindow(window_);
    }

    ~Win32FrontEnd() override {
        loop_.SetMessageWindow(nullptr);
        if (window_ != nullptr) {
            SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
            DestroyWindow(window_);
        }
        for (HFONT font : {font_, labelFont_, logoFont_})
            DeleteObject(font);
    }

    // FrontEnd
    app::MainView& View() override { return *this; }
    platform::SystemFacts& Facts() override { return platform::ThisSystem(); }
    void Connect(app::MainViewEvents& events) override { events_ = &events; }
    void Start() override {} // the system reports the activation

    // MainView
    void AddStatusItem(const std::string& text) override {
        HWND memo = Control(kIdMemoStatus);
        const int length = GetWindowTextLengthA(memo);
        SendMessageA(memo, EM_SETSEL, length, length);
        const std::string item = length > 0 ? kLineBreak + text : text;
        SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(item.c_str()));
        SendMessageA(memo, EM_SCROLLCARET, 0, 0);
        // A transparent console cannot scroll its pixels: the gradient would move too.
        InvalidateRect(memo, nullptr, TRUE);
    }
    void SetCaption(app::Button button, const std::string& caption) override {
        SetWindowTextA(ButtonControl(button), caption.c_str());
        InvalidateRect(ButtonControl(button), nullptr, TRUE);
    }
    void SetEnabled(app::Button button, bool enabled) override {
        // The system would leave the focus nowhere, and the next key could
        // land on the other button; the window itself keeps it instead.
        if (!enabled && GetFocus() == ButtonControl(button)) ::SetFocus(window_);
        EnableWindow(ButtonControl(button), enabled);
    }
    void SetFocus(app::Button button) override { ::SetFocus(ButtonControl(button)); }
    void SetHintsShown(app::Button button, bool shown) override {
        const Place& place =
            kLayout[button == app::Button::Left ? kLeftButtonPlace : kRightButtonPlace];
        if (place.hint != nullptr) SetHint(place.id, shown ? place.hint : "");
    }
    void SetGaugePosition(app::Gauge gauge, int position) override {
        SendMessageA(GaugeControl(gauge), PBM_SETPOS, position, 0);
    }
    void SetGaugeMax(app::Gauge gauge, int maximum) override {
        SendMessageA(GaugeControl(gauge), PBM_SETRANGE32, 0, maximum);
    }
    void SetGaugeHint(app::Gauge gauge, const std::string& hint) override {
        SetHint(gauge == app::Gauge::Main ? kIdProgressBar : kIdProgressBarLeft, hint);
    }
    void Beep() override { MessageBeep(MB_OK); }
    void ShowWindow() override {
        ::ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
        if (!shown_) ::SetFocus(Control(kIdButtonRight));
        shown_ = true;
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
        gaugeFill_ = GaugeFill(ScreenBitsPerPixel(), endColour);
        canvas_.Rebuild(app::kClientWidth, app::kClientHeight, Colour(startColour),
                        Colour(endColour));
        RedrawWindow(window_, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    void SetConsoleFontColour(unsigned colour) override {
        consoleColour_ = colour;
        InvalidateRect(Control(kIdMemoStatus), nullptr, TRUE);
    }

private:
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

    void CreateFonts() {
        font_ = CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                            app::layout::kBodyFace);
        labelFont_ = CreateFontA(kLabelFontHeight, 0, 0, 0, FW_BLACK, 0, 0, 0, DEFAULT_CHARSET, 0,
                                 0, 0, 0, app::layout::kHeavyFace);
        logoFont_ = CreateFontA(kLogoNameHeight, 0, 0, 0, FW_BLACK, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                0, 0, app::layout::kHeavyFace);
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
        // Flat gauges in our colours whatever the desktop's theme: we paint them.
        const auto self = reinterpret_cast<DWORD_PTR>(this);
        if (place.className == std::string(PROGRESS_CLASSA))
            SetWindowSubclass(control, PaintGauge, 0, self);
        if (place.id == kIdButtonLeft || place.id == kIdButtonRight)
            SetWindowSubclass(control, ButtonKeys, 0, self);
        if (place.id == kIdMemoStatus) SetWindowSubclass(control, ConsoleFocus, 0, self);
        if (place.hint != nullptr) AddHint(control, place.hint);
    }

    static LRESULT CALLBACK PaintGauge(HWND gauge, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
        if (message == WM_ERASEBKGND) return 1;
        if (message != WM_PAINT) return DefSubclassProc(gauge, message, wParam, lParam);
        const auto* self = reinterpret_cast<const Win32FrontEnd*>(data);
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(gauge, &paint);
        RECT area{};
        GetClientRect(gauge, &area);
        const auto position = SendMessageA(gauge, PBM_GETPOS, 0, 0);
        const auto maximum = SendMessageA(gauge, PBM_GETRANGE, FALSE, 0);
        DrawGauge(dc, area, static_cast<int>(position), static_cast<int>(maximum),
                  Colour(self->gaugeFill_), Colour(app::layout::kGaugeBack));
        EndPaint(gauge, &paint);
        return 0;
    }

    // Centred on the screen; on a screen smaller than the window, the
    // buttons still inside the work area.
    static ScreenPoint PlaceOnScreen(int width, int height) {
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const app::TPlace screen{0, 0, GetSystemMetrics(SM_CXSCREEN),
                                 GetSystemMetrics(SM_CYSCREEN)};
        const app::TPlace workArea{work.left, work.top, work.right - work.left,
                                   work.bottom - work.top};
        return WindowOrigin(
            screen, workArea, width, height, app::kFrameWidth,
            ButtonRow(kLayout[kLeftButtonPlace].place, kLayout[kRightButtonPlace].place));
    }

    // The keyboard, as a dialog box has it, without a dialog manager in the
    // message loop: Tab, Shift+Tab and the arrows move between the two
    // buttons, an access key presses its button, Return the focused one
    // (Space stays the button's own). `from` is the window the key came to.
    bool Key(HWND from, UINT message, WPARAM key, LPARAM flags) {
        const bool alt = (flags & kAltHeld) != 0;
        switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (alt) return false;
            if (key == VK_TAB) return MoveFocus((GetKeyState(VK_SHIFT) & kKeyDown) == 0);
            if (key == VK_RIGHT || key == VK_DOWN) return MoveFocus(true);
            if (key == VK_LEFT || key == VK_UP) return MoveFocus(false);
            if (key == VK_RETURN && from != window_ && (flags & kRepeated) == 0) {
                Press(from);
                return true;
            }
            return false;
        case WM_CHAR:
        case WM_SYSCHAR:
            // Tab and Return were taken as keys; their characters would beep.
            return key == '\t' || key == '\r' || PressAccessKey(static_cast<char>(key));
        default:
            return false;
        }
    }

    std::optional<int> FocusedButton() const {
        HWND focus = GetFocus();
        if (focus == ButtonControl(app::Button::Left)) return 0;
        if (focus == ButtonControl(app::Button::Right)) return 1;
        return std::nullopt;
    }

    HWND ButtonAt(int index) const {
        return ButtonControl(index == 0 ? app::Button::Left : app::Button::Right);
    }

    bool MoveFocus(bool forward) {
        const std::array<bool, kButtonCount> enabled{IsWindowEnabled(ButtonAt(0)) != FALSE,
                                                     IsWindowEnabled(ButtonAt(1)) != FALSE};
        if (const auto next = NextButton(FocusedButton(), enabled, forward))
            ::SetFocus(ButtonAt(*next));
        return true;
    }

    // As the button's own click does: the command goes to the window.
    void Press(HWND button) {
        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }

    bool PressAccessKey(char typed) {
        const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(typed)));
        for (int index = 0; index < kButtonCount; ++index) {
            HWND button = ButtonAt(index);
            char caption[kCaptionLength] = {};
            GetWindowTextA(button, caption, sizeof caption);
            if (!IsWindowEnabled(button) || AccessKey(caption) != wanted) continue;
            ::SetFocus(button);
            Press(button);
            return true;
        }
        return false;
    }

    static LRESULT CALLBACK ButtonKeys(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<Win32FrontEnd*>(data);
        if (self->Key(button, message, wParam, lParam)) return 0;
        return DefSubclassProc(button, message, wParam, lParam);
    }

    // The console scrolls and shows its hint but never keeps the focus: a
    // click in it hands the focus back to the button that had it (or to the
    // window), so Space and Return still press that button.
    static LRESULT CALLBACK ConsoleFocus(HWND memo, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
        if (message != WM_SETFOCUS) return DefSubclassProc(memo, message, wParam, lParam);
        auto* self = reinterpret_cast<Win32FrontEnd*>(data);
        auto previous = reinterpret_cast<HWND>(wParam);
        const bool button = previous == self->ButtonAt(0) || previous == self->ButtonAt(1);
        ::SetFocus(button && IsWindowEnabled(previous) ? previous : self->window_);
        return 0;
    }

    // A top-level window that is no dialog gets the focus itself when it is
    // activated again; the button that had it gets it back instead.
    std::optional<LRESULT> Activate(WPARAM state) {
        if (LOWORD(state) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
            return std::nullopt;
        }
        if (lastFocus_ == nullptr || !IsWindowEnabled(lastFocus_)) return std::nullopt;
        ::SetFocus(lastFocus_);
        return 0;
    }

    void AddHint(HWND control, const char* text) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<char*>(text);
        SendMessageA(tooltips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }

    void SetHint(int id, const std::string& text) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(id));
        tool.lpszText = const_cast<char*>(text.c_str());
        SendMessageA(tooltips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }

    RECT ChildArea(HWND child) const {
        RECT area{};
        GetWindowRect(child, &area);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
        return area;
    }

    void DrawItem(const DRAWITEMSTRUCT& item) {
        canvas_.PaintBehind(item.hDC, ChildArea(item.hwndItem));
        if (item.CtlID == kIdImageLogo) {
            DrawLogo(item.hDC, item.rcItem, logoFont_, font_);
            return;
        }
        char caption[kCaptionLength] = {};
        GetWindowTextA(item.hwndItem, caption, sizeof caption);
        FlatButtonLook look;
        look.pressed = (item.itemState & ODS_SELECTED) != 0;
        look.focused = (item.itemState & ODS_FOCUS) != 0;
        look.enabled = (item.itemState & ODS_DISABLED) == 0;
        DrawFlatButton(item.hDC, item.rcItem, caption, font_, look);
    }

    LRESULT ColourChild(HDC dc, HWND child) {
        const bool memo = child == Control(kIdMemoStatus);
        SetTextColor(dc, Colour(memo ? consoleColour_ : app::layout::kText));
        SetBkMode(dc, TRANSPARENT);
        AlignBrushWithParent(dc, child);
        return reinterpret_cast<LRESULT>(canvas_.Brush());
    }

    void PaintFrame() const {
        HDC dc = GetWindowDC(window_);
        RECT outer{};
        GetWindowRect(window_, &outer);
        OffsetRect(&outer, -outer.left, -outer.top);
        HBRUSH brush = CreateSolidBrush(Colour(gradientEnd_));
        for (int ring = 0; ring < app::kFrameWidth; ++ring) {
            FrameRect(dc, &outer, brush);
            InflateRect(&outer, -1, -1);
        }
        DeleteObject(brush);
        ReleaseDC(window_, dc);
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        // The burn side's messages and the AutoPlay question: the run's first.
        if (events_ != nullptr) {
            if (const auto answer = events_->WindowMessage(message, wParam, lParam)) return *answer;
        }
        switch (message) {
        case WM_NCCALCSIZE: {
            // The client area is the window less our flat frame.
            auto* area = reinterpret_cast<RECT*>(lParam);
            InflateRect(area, -app::kFrameWidth, -app::kFrameWidth);
            return 0;
        }
        case WM_NCPAINT:
            PaintFrame();
            return 0;
        case WM_NCACTIVATE:
            PaintFrame();
            return TRUE;
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(window_, &client);
            canvas_.PaintBehind(reinterpret_cast<HDC>(wParam), client);
            return 1;
        }
        case WM_DRAWITEM:
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return ColourChild(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_COMMAND:
            if (LOWORD(wParam) == kIdMemoStatus && HIWORD(wParam) == EN_VSCROLL)
                InvalidateRect(Control(kIdMemoStatus), nullptr, TRUE);
            if (HIWORD(wParam) == BN_CLICKED && events_ != nullptr) {
                if (LOWORD(wParam) == kIdButtonLeft) events_->LeftClicked();
                if (LOWORD(wParam) == kIdButtonRight) events_->RightClicked();
                return 0;
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_CHAR:
        case WM_SYSCHAR:
            if (Key(window_, message, wParam, lParam)) return 0;
            break;
        case WM_MOUSEWHEEL:
            // The console is the one thing that scrolls, wherever the focus
            // is; a wheel it passes on comes back here and ends.
            if (!forwardingWheel_) {
                forwardingWheel_ = true;
                SendMessageA(Control(kIdMemoStatus), message, wParam, lParam);
                forwardingWheel_ = false;
            }
            return 0;
        case WM_ACTIVATE:
            if (const auto answer = Activate(wParam)) return *answer;
            break;
        case WM_ACTIVATEAPP:
            // The window is activated while it is still being created, before
            // the data modules exist: the run starts once the loop runs.
            if (wParam != 0 && events_ != nullptr)
                loop_.Post([events = events_] { events->Activated(); });
            return 0;
        case WM_CLOSE:
            // Alt+F4 and the system menu arrive here too.
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
            auto* self = static_cast<Win32FrontEnd*>(create->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<Win32FrontEnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
        const LRESULT result = self->Handle(message, wParam, lParam);
        // The burn side waits in its sends; give it the processor after each message.
        Sleep(0);
        return result;
    }

    platform::EventLoop& loop_;
    HWND window_ = nullptr;
    HWND tooltips_ = nullptr;
    HFONT font_ = nullptr;
    HFONT labelFont_ = nullptr;
    HFONT logoFont_ = nullptr;
    GradientCanvas canvas_;
    app::MainViewEvents* events_ = nullptr;
    bool shown_ = false;
    unsigned gradientStart_ = app::kColourBlack;
    unsigned gradientEnd_ = app::kGradientEnd;
    unsigned gaugeFill_ = app::kGradientEnd;
    // The control that had the focus when the window was last deactivated.
    HWND lastFocus_ = nullptr;
    bool forwardingWheel_ = false;
    unsigned consoleColour_ = app::kColourWhite;
};

} // namespace

std::unique_ptr<app::FrontEnd> MakeWin32FrontEnd(platform::EventLoop& loop) {
    return std::make_unique<Win32FrontEnd>(loop);
}

} // namespace qv::ui
