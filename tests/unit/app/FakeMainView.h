#pragma once
// A MainView that remembers what the run flow did to it, and system facts
// that count beeps and pages instead of making them.

#include "app/MainView.h"
#include "platform/SystemFacts.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

class FakeMainView : public app::MainView {
public:
    void AddStatusItem(const std::string& text) override { items.push_back(text); }
    void SetCaption(app::Button b, const std::string& c) override { captions[Index(b)] = c; }
    std::string Caption(app::Button b) const override { return captions[Index(b)]; }
    void SetEnabled(app::Button b, bool e) override { enabled[Index(b)] = e; }
    bool Enabled(app::Button b) const override { return enabled[Index(b)]; }
    void SetFocus(app::Button b) override { focus = b; }
    void SetHintsShown(app::Button b, bool s) override { hints[Index(b)] = s; }
    void SetGaugePosition(app::Gauge g, int p) override { positions[Index(g)] = p; }
    int GaugePosition(app::Gauge g) const override { return positions[Index(g)]; }
    void SetGaugeMax(app::Gauge g, int m) override { maxima[Index(g)] = m; }
    int GaugeMax(app::Gauge g) const override { return maxima[Index(g)]; }
    void SetGaugeHint(app::Gauge, const std::string&) override {}
    void Beep() override { ++beeps; }
    void ShowWindow() override { shown = true; }
    void BringToFront() override { ++frontCalls; }
    void MinimizeAndRestore() override { ++minimizeRestores; }
    int ScreenBitsPerPixel() const override { return depth; }
    void SetGradient(unsigned s, unsigned e) override { gradient = {s, e}; }
    void SetConsoleFontColour(unsigned c) override { consoleColour = c; }

    std::vector<std::string> items;
    std::array<std::string, 2> captions{"&Help", "&Ok"};
    std::array<bool, 2> enabled{true, true};
    std::array<bool, 2> hints{true, true};
    std::array<int, 2> positions{0, 0};
    std::array<int, 2> maxima{100, 100};
    std::optional<app::Button> focus;
    int beeps = 0;
    bool shown = false;
    int frontCalls = 0;
    int minimizeRestores = 0;
    int depth = 32;
    std::array<unsigned, 2> gradient{0, 0};
    unsigned consoleColour = 0;

private:
    static size_t Index(app::Button b) { return b == app::Button::Left ? 0 : 1; }
    static size_t Index(app::Gauge g) { return g == app::Gauge::Main ? 0 : 1; }
};

class FakeFacts : public platform::SystemFacts {
public:
    bool IsNtFamily() const override { return true; }
    platform::MemoryStatus Memory() const override { return {}; }
    bool IsAdministrator() const override { return true; }
    bool IsOnline() const override { return false; }
    uint64_t TimeStampCounter() const override { return 0; }
    void Beep() override { ++beeps; }
    void OpenUrl(const std::string& url) override { urls.push_back(url); }
    std::vector<std::string> TopLevelWindowTitles() const override { return {}; }
    bool PostQuitToWindow(const std::string&) override { return false; }
    uint32_t TickCount() const override { return 0; }
    void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

    int beeps = 0;
    std::vector<std::string> urls;
    std::vector<uint32_t> sleeps;
};

} // namespace qv::test
