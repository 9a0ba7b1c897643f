#include "UiDriver.h"

#include "ui/win32/Win32FrontEnd.h"

#include <commctrl.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace qv::uidriver {

namespace {

constexpr int kClientWidth = 334;
constexpr int kClientHeight = 343;
constexpr UINT kBurnProgress = WM_USER + 100;
constexpr const char* kAutoPlayMessage = "QueryCancelAutoPlay";
constexpr DWORD kPollInterval = 50;
constexpr DWORD kAliveWait = 700;
constexpr int kTextLength = 65536;
constexpr int kAbsoluteRange = 65535;
constexpr size_t kTailShown = 240;
constexpr UINT kAnswerLimit = 5000;
constexpr DWORD kPressWait = 5000;
constexpr DWORD kKeyWait = 300;
constexpr int kScrollBarRoom = 20;

struct Expected {
    const char* name;
    int id;
    RECT place; // left, top, right, bottom in the client area
};

// The layout after window creation: the logo centred in the 334-pixel client
// area (167 - 156 = 11), the main gauge starting where the small one ends.
constexpr std::array<Expected, 8> kExpected = {{
    {"DevLabel", ui::kIdDevLabel, {20, 32, 320, 92}},
    {"ImageLogo", ui::kIdImageLogo, {11, 10, 324, 109}},
    {"LabelProgress", ui::kIdLabelProgress, {16, 110, 80, 128}},
    {"ProgressBarLeft", ui::kIdProgressBarLeft, {16, 128, 41, 145}},
    {"ProgressBar", ui::kIdProgressBar, {41, 128, 320, 145}},
    {"MemoStatus", ui::kIdMemoStatus, {16, 160, 321, 289}},
    {"ButtonLeft", ui::kIdButtonLeft, {16, 304, 161, 329}},
    {"ButtonRight", ui::kIdButtonRight, {176, 304, 321, 329}},
}};

std::string Take(std::vector<std::string>& words) {
    std::string word = words.front();
    words.erase(words.begin());
    return word;
}

void Report(Context& context, bool good, const std::string& what) {
    if (!good) ++context.failures;
    std::printf("%s %s\n", good ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
}

HWND FindApplet() {
    return FindWindowA(ui::kWin32WindowClass, nullptr);
}

bool NeedWindow(Context& context) {
    if (context.window == nullptr || !IsWindow(context.window)) context.window = FindApplet();
    if (context.window != nullptr) return true;
    Report(context, false, "the applet's window is there");
    return false;
}

// With a time limit: an applet that hangs (or sits in Wine's debugger after
// a crash) must fail the check, not hold the driver for ever.
std::string Text(HWND control) {
    std::string text(kTextLength, '\0');
    DWORD_PTR length = 0;
    if (SendMessageTimeoutA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, kAnswerLimit, &length) == 0)
        length = 0;
    text.resize(static_cast<size_t>(length));
    return text;
}

RECT ClientRect(HWND window, HWND control) {
    RECT area{};
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
}

void CheckLayout(Context& context) {
    RECT client{};
    GetClientRect(context.window, &client);
    Report(context, client.right == kClientWidth && client.bottom == kClientHeight,
           "client area 334 x 343 (got " + Describe(client) + ")");
    RECT outer{};
    GetWindowRect(context.window, &outer);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN),
              screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int dx = (outer.left + outer.right) / 2 - screenWidth / 2;
    const int dy = (outer.top + outer.bottom) / 2 - screenHeight / 2;
    Report(context, std::abs(dx) <= 1 && std::abs(dy) <= 1,
           "window centred on the desktop (off by " + std::to_string(dx) + "," +
               std::to_string(dy) + ")");
    const LONG style = GetWindowLongA(context.window, GWL_STYLE);
    Report(context, (style & WS_CAPTION) != WS_CAPTION, "no caption bar");
    for (const Expected& expected : kExpected) {
        HWND control = GetDlgItem(context.window, expected.id);
        const RECT got = control != nullptr ? ClientRect(context.window, control) : RECT{};
        Report(context, control != nullptr && EqualRect(&got, &expected.place),
               std::string(expected.name) + " at " + Describe(expected.place) + " (got " +
                   Describe(got) + ")");
    }
}

HWND Button(Context& context, const std::string& which) {
    return GetDlgItem(context.window, which == "left" ? ui::kIdButtonLeft : ui::kIdButtonRight);
}

// Every event carries the absolute place, so none depends on where the
// system believes the pointer is.
void SendMouse(POINT at, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(at.x, kAbsoluteRange, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, kAbsoluteRange, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void BringForward(HWND window) {
    SetForegroundWindow(window);
    Sleep(kPollInterval);
}

enum class Press { Pushed, NotYet, NoAnswer };

Press ButtonPress(HWND button) {
    DWORD_PTR state = 0;
    if (SendMessageTimeoutA(button, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimit, &state) == 0)
        return Press::NoAnswer;
    return (state & BST_PUSHED) != 0 ? Press::Pushed : Press::NotYet;
}

// A press counts as lost only when the window kept answering all the while:
// a busy window may still take it from its queue.
Press WaitPushed(HWND button) {
    const ULONGLONG start = GetTickCount64();
    Press press = ButtonPress(button);
    while (press == Press::NotYet && GetTickCount64() - start < kPressWait) {
        Sleep(kPollInterval);
        press = ButtonPress(button);
    }
    return press;
}

// The pointer onto the button's centre, then down; the answer tells whether
// the button took the press (a disabled one never shows it, so is not asked).
Press PressOn(Context& context, HWND button, POINT centre) {
    BringForward(context.window);
    SendMouse(centre, 0);
    Sleep(kPollInterval);
    SendMouse(centre, MOUSEEVENTF_LEFTDOWN);
    if (!IsWindowEnabled(button)) {
        Sleep(kPollInterval);
        return Press::Pushed;
    }
    return WaitPushed(button);
}

// A real click: a press, then the release. Wine now and then seems to drop
// an injected press (a run then never ended), so the release waits until the
// button shows itself pushed, and a press the answering window never took is
// sent once more; when the button stays unpushed the release follows anyway
// and the output says so.
void Click(Context& context, const std::string& which) {
    HWND button = Button(context, which);
    RECT area{};
    GetWindowRect(button, &area);
    const POINT centre{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    Press press = PressOn(context, button, centre);
    if (press == Press::NotYet) {
        SendMouse(centre, MOUSEEVENTF_LEFTUP);
        press = PressOn(context, button, centre);
    }
    SendMouse(centre, MOUSEEVENTF_LEFTUP);
    std::printf("clicked %s \"%s\"%s\n", which.c_str(), Text(button).c_str(),
                press == Press::Pushed ? "" : " (the button never showed the press)");
}

// A click on the console's text, left of its scroll bar; a console shows
// no press to wait for.
void ClickConsole(Context& context) {
    RECT area{};
    GetWindowRect(GetDlgItem(context.window, ui::kIdMemoStatus), &area);
    const POINT at{(area.left + area.right) / 2 - kScrollBarRoom, (area.top + area.bottom) / 2};
    BringForward(context.window);
    SendMouse(at, MOUSEEVENTF_LEFTDOWN);
    Sleep(kPollInterval);
    SendMouse(at, MOUSEEVENTF_LEFTUP);
    Sleep(kKeyWait);
}

// key NAME+NAME...: the keys pressed in order and released the other way
// round (shift+tab, alt+h); a name is one of the table's or a letter.
bool Keys(Context& context, const std::string& combination) {
    static const std::map<std::string, WORD> kNames = {{"shift", VK_SHIFT},   {"alt", VK_MENU},
                                                       {"ctrl", VK_CONTROL},  {"tab", VK_TAB},
                                                       {"return", VK_RETURN}, {"space", VK_SPACE}};
    std::vector<WORD> keys;
    std::istringstream names(combination);
    for (std::string name; std::getline(names, name, '+');) {
        if (const auto named = kNames.find(name); named != kNames.end())
            keys.push_back(named->second);
        else if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0])) != 0)
            keys.push_back(static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0]))));
        else
            return false;
    }
    BringForward(context.window);
    for (WORD key : keys)
        SendKey(key, false);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        SendKey(*key, true);
    Sleep(kKeyWait); // the window takes the keys from its queue meanwhile
    return true;
}

void Respond(Context& context, DWORD limit) {
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR answer = 0;
    const bool answered =
        SendMessageTimeoutA(context.window, WM_NULL, 0, 0, SMTO_NORMAL, limit, &answer) != 0;
    const auto elapsed = GetTickCount64() - start;
    Report(context, answered,
           "the window answered within " + std::to_string(limit) + " ms (" +
               std::to_string(elapsed) + " ms)");
}

void AltF4(Context& context) {
    BringForward(context.window);
    SendKey(VK_MENU, false);
    SendKey(VK_F4, false);
    SendKey(VK_F4, true);
    SendKey(VK_MENU, true);
}

void CheckAlive(Context& context) {
    Sleep(kAliveWait);
    Report(context, IsWindow(context.window) && IsWindowVisible(context.window),
           "the window is still open");
}

bool WaitForText(Context& context, const std::string& text, DWORD limit) {
    const ULONGLONG deadline = GetTickCount64() + limit;
    do {
        if (NeedWindow(context) &&
            Text(GetDlgItem(context.window, ui::kIdMemoStatus)).find(text) != std::string::npos)
            return true;
        Sleep(kPollInterval);
    } while (GetTickCount64() < deadline);
    return false;
}

void WriteBitmap(const std::string& path, HDC source, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto stride = static_cast<uint32_t>((width * 3 + 3) & ~3);
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(&header), sizeof header);
    file.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    file.write(static_cast<const char*>(bits), imageSize);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void Screenshot(Context& context, const std::string& path) {
    RedrawWindow(context.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(kPollInterval * 4);
    RECT area{};
    GetWindowRect(context.window, &area);
    HDC screen = GetDC(nullptr);
    WriteBitmap(path, screen, area);
    ReleaseDC(nullptr, screen);
    std::printf("screenshot %s\n", path.c_str());
}

DWORD Milliseconds(const std::string& word) {
    return static_cast<DWORD>(std::strtoul(word.c_str(), nullptr, 10));
}

} // namespace

bool RunCommand(Context& context, std::vector<std::string>& words) {
    const std::string command = Take(words);
    const auto need = [&](size_t count) { return words.size() >= count; };
    if (command == "sleep" && need(1)) {
        Sleep(Milliseconds(Take(words)));
        return true;
    }
    if (command == "wait" && need(1)) {
        const ULONGLONG deadline = GetTickCount64() + Milliseconds(Take(words));
        while ((context.window = FindApplet()) == nullptr || !IsWindowVisible(context.window)) {
            if (GetTickCount64() >= deadline) break;
            Sleep(kPollInterval);
        }
        Report(context, context.window != nullptr, "the applet's window appeared");
        return true;
    }
    if (command == "waittext" && need(2)) {
        const std::string text = Take(words);
        const bool shown = WaitForText(context, text, Milliseconds(Take(words)));
        Report(context, shown, "the console shows \"" + text + "\"");
        if (!shown && context.window != nullptr) {
            const std::string memo = Text(GetDlgItem(context.window, ui::kIdMemoStatus));
            std::printf(
                "     console ends: %s\n",
                memo.substr(memo.size() > kTailShown ? memo.size() - kTailShown : 0).c_str());
            // "Please Wait" here means the run never started: no activation came.
            std::printf("     right button reads \"%s\"\n", Text(Button(context, "right")).c_str());
        }
        return true;
    }
    if (!NeedWindow(context)) {
        words.clear(); // nothing else can be driven
        return true;
    }
    if (command == "layout") {
        CheckLayout(context);
    } else if (command == "memo") {
        std::printf("%s\n", Text(GetDlgItem(context.window, ui::kIdMemoStatus)).c_str());
    } else if (command == "caption" && need(1)) {
        const std::string which = Take(words);
        std::printf("caption %s \"%s\"\n", which.c_str(), Text(Button(context, which)).c_str());
    } else if (command == "label") {
        std::printf("label \"%s\"\n",
                    Text(GetDlgItem(context.window, ui::kIdLabelProgress)).c_str());
    } else if (command == "gauge" && need(1)) {
        const std::string which = Take(words);
        HWND gauge = GetDlgItem(context.window,
                                which == "left" ? ui::kIdProgressBarLeft : ui::kIdProgressBar);
        const auto position = SendMessageA(gauge, PBM_GETPOS, 0, 0);
        const auto maximum = SendMessageA(gauge, PBM_GETRANGE, FALSE, 0);
        std::printf("gauge %s %lld/%lld\n", which.c_str(), static_cast<long long>(position),
                    static_cast<long long>(maximum));
    } else if (command == "focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(context.window, nullptr), &info);
        std::printf("focus %d\n", info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0);
    } else if (command == "click" && need(1)) {
        const std::string which = Take(words);
        if (which == "memo")
            ClickConsole(context);
        else
            Click(context, which);
    } else if (command == "key" && need(1)) {
        if (!Keys(context, Take(words))) return false;
    } else if (command == "respond" && need(1)) {
        Respond(context, Milliseconds(Take(words)));
    } else if (command == "close") {
        PostMessageA(context.window, WM_CLOSE, 0, 0);
    } else if (command == "altf4") {
        AltF4(context);
    } else if (command == "alive") {
        CheckAlive(context);
    } else if (command == "progress" && need(2)) {
        const auto position = static_cast<WPARAM>(Milliseconds(Take(words)));
        const auto maximum = static_cast<LPARAM>(Milliseconds(Take(words)));
        SendMessageA(context.window, kBurnProgress, position, maximum);
    } else if (command == "autoplay") {
        const UINT message = RegisterWindowMessageA(kAutoPlayMessage);
        std::printf("autoplay %lld\n",
                    static_cast<long long>(SendMessageA(context.window, message, 0, 0)));
    } else if (command == "pixel" && need(2)) {
        const int x = static_cast<int>(std::strtol(Take(words).c_str(), nullptr, 10));
        PrintPixel(context, x, static_cast<int>(std::strtol(Take(words).c_str(), nullptr, 10)));
    } else if (command == "count" && need(5)) {
        CountColour(context, words);
    } else if (command == "shot" && need(1)) {
        Screenshot(context, Take(words));
    } else {
        return false;
    }
    std::fflush(stdout);
    return true;
}

} // namespace qv::uidriver
