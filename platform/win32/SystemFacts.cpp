#include "platform/SystemFacts.h"
#include "platform/win32/WinApi.h"

#include <cstdio>
#include <intrin.h>
#include <shellapi.h>
#include <string>
#include <vector>
#include <wininet.h>

namespace qv::platform {

namespace {

// Window titles are read into a buffer of this many characters, NUL included.
constexpr int kTitleBuffer = 255;
constexpr DWORD kGroupsBuffer = 1024;
constexpr DWORD kNtPlatformId = 2;
constexpr const char* kUrlFallbackFormat = "Open this page in your browser: %s\n";
// ShellExecute reports success with a value above this.
constexpr INT_PTR kShellErrorLimit = 32;

struct TitleSearch {
    std::vector<std::string> titles;
    const std::string* wanted = nullptr;
    HWND found = nullptr;
};

std::string TitleOf(HWND window) {
    char title[kTitleBuffer] = {};
    const int length = GetWindowTextA(window, title, kTitleBuffer);
    return std::string(title, length > 0 ? static_cast<size_t>(length) : 0);
}

BOOL CALLBACK CollectTitle(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TitleSearch*>(context);
    std::string title = TitleOf(window);
    if (search->wanted != nullptr) {
        if (title != *search->wanted) return TRUE;
        search->found = window;
        return FALSE;
    }
    search->titles.push_back(std::move(title));
    return TRUE;
}

HANDLE OpenOwnToken() {
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return token;
    if (GetLastError() == ERROR_NO_TOKEN &&
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return token;
    return nullptr;
}

bool TokenHasAdministrators(HANDLE token) {
    alignas(TOKEN_GROUPS) unsigned char buffer[kGroupsBuffer];
    DWORD needed = 0;
    if (!GetTokenInformation(token, TokenGroups, buffer, sizeof buffer, &needed)) return false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
    bool member = false;
    for (DWORD i = 0; i < groups->GroupCount && !member; ++i)
        member = EqualSid(groups->Groups[i].Sid, administrators) != 0;
    FreeSid(administrators);
    return member;
}

class Win32SystemFacts final : public SystemFacts {
public:
    bool IsNtFamily() const override {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof version;
        if (!GetVersionExA(&version)) return true;
        return version.dwMajorVersion > 4 || version.dwPlatformId == kNtPlatformId;
    }

    MemoryStatus Memory() const override {
        MEMORYSTATUSEX native{};
        native.dwLength = sizeof native;
        MemoryStatus status;
        if (!GlobalMemoryStatusEx(&native)) return status;
        status.totalPhysical = native.ullTotalPhys;
        status.availablePhysical = native.ullAvailPhys;
        status.totalPageFile = native.ullTotalPageFile;
        status.availablePageFile = native.ullAvailPageFile;
        return status;
    }

    bool IsAdministrator() const override {
        const HANDLE token = OpenOwnToken();
        if (token == nullptr) return false;
        const bool member = TokenHasAdministrators(token);
        CloseHandle(token);
        return member;
    }

    bool IsOnline() const override {
        DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != 0;
    }

    uint64_t TimeStampCounter() const override { return __rdtsc(); }

    void Beep() override { MessageBeep(0); }

    void OpenUrl(const std::string& url) override {
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
            GetDesktopWindow(), "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result > kShellErrorLimit) return;
        std::fprintf(stderr, kUrlFallbackFormat, url.c_str());
        std::fflush(stderr);
    }

    std::vector<std::string> TopLevelWindowTitles() const override {
        TitleSearch search;
        EnumWindows(CollectTitle, reinterpret_cast<LPARAM>(&search));
        return search.titles;
    }

    bool PostQuitToWindow(const std::string& title) override {
        TitleSearch search;
        search.wanted = &title;
        EnumWindows(CollectTitle, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr && PostMessageA(search.found, WM_QUIT, 0, 0) != 0;
    }

    uint32_t TickCount() const override { return GetTickCount(); }

    void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

} // namespace

SystemFacts& ThisSystem() {
    static Win32SystemFacts facts;
    return facts;
}

} // namespace qv::platform
