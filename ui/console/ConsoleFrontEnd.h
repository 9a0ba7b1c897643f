#pragma once
// The terminal front end: the window's components on standard output, the
// buttons from standard input.

#include "ConsoleView.h"

#include "app/StartUp.h"

#include <iosfwd>
#include <memory>

namespace qv::ui {

// The system facts as the terminal shows them: beeps and opened pages are
// events of the view; everything else is the real system's.
class ConsoleFacts final : public platform::SystemFacts {
public:
    ConsoleFacts(ConsoleView& view, platform::SystemFacts& system) : view_(view), system_(system) {}

    bool IsNtFamily() const override { return system_.IsNtFamily(); }
    platform::MemoryStatus Memory() const override { return system_.Memory(); }
    bool IsAdministrator() const override { return system_.IsAdministrator(); }
    bool IsOnline() const override { return system_.IsOnline(); }
    uint64_t TimeStampCounter() const override { return system_.TimeStampCounter(); }
    void Beep() override { view_.Beep(); }
    // The event log only names the page; on a terminal the browser opens it.
    void OpenUrl(const std::string& url) override;
    std::vector<std::string> TopLevelWindowTitles() const override {
        return system_.TopLevelWindowTitles();
    }
    bool PostQuitToWindow(const std::string& title) override {
        return system_.PostQuitToWindow(title);
    }
    uint32_t TickCount() const override { return system_.TickCount(); }
    void Sleep(uint32_t milliseconds) override { system_.Sleep(milliseconds); }

private:
    ConsoleView& view_;
    platform::SystemFacts& system_;
};

// The face follows standard output: a terminal gets the screen, anything
// else the event log.
std::unique_ptr<app::FrontEnd> MakeConsoleFrontEnd(platform::EventLoop& loop);
// For tests: a chosen face on a chosen stream, input from standard input.
std::unique_ptr<app::FrontEnd> MakeConsoleFrontEnd(platform::EventLoop& loop, std::ostream& out,
                                                   ConsoleFace face, bool keys);

} // namespace qv::ui
