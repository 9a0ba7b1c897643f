#include "FltkFrontEnd.h"

#include "FltkScreen.h"
#include "FltkView.h"
#include "FltkWait.h"
#include "LoggedView.h"

#include "console/ConsoleFrontEnd.h"
#include "console/ConsoleInput.h"
#include "platform/Processes.h"

#include <iostream>
#include <optional>

namespace qv::ui {

namespace {

// The event log's line for the display's end.
constexpr const char* kDisplayLostEvent = "display: lost";
// The start-up's failure code, for a display lost before the run began.
constexpr int kLostBeforeRunExitCode = 1;

// The system as the window shows it: beeps from the window; with the log, a
// page is only named in it, as the log alone does.
class DesktopFacts final : public platform::SystemFacts {
public:
    DesktopFacts(app::MainView& view, ConsoleView* log, platform::SystemFacts& system)
        : view_(view), log_(log), system_(system) {}

    bool IsNtFamily() const override { return system_.IsNtFamily(); }
    platform::MemoryStatus Memory() const override { return system_.Memory(); }
    bool IsAdministrator() const override { return system_.IsAdministrator(); }
    bool IsOnline() const override { return system_.IsOnline(); }
    uint64_t TimeStampCounter() const override { return system_.TimeStampCounter(); }
    void Beep() override { view_.Beep(); }
    void OpenUrl(const std::string& url) override {
        if (log_ != nullptr)
            log_->NoteUrl(url);
        else
            system_.OpenUrl(url);
    }
    std::vector<std::string> TopLevelWindowTitles() const override {
        return system_.TopLevelWindowTitles();
    }
    bool PostQuitToWindow(const std::string& title) override {
        return system_.PostQuitToWindow(title);
    }
    uint32_t TickCount() const override { return system_.TickCount(); }
    void Sleep(uint32_t milliseconds) override { system_.Sleep(milliseconds); }

private:
    app::MainView& view_;
    ConsoleView* log_;
    platform::SystemFacts& system_;
};

class FltkFrontEnd final : public app::FrontEnd {
public:
    FltkFrontEnd(platform::EventLoop& loop, bool withEventLog) : loop_(loop), window_(loop) {
        loop_.SetToolkitWait(&wait_);
        if (withEventLog) {
            log_.emplace(std::cout, ConsoleFace::EventLog);
            logged_.emplace(window_, *log_);
            input_.emplace(loop, false, false); // the window still takes presses
        }
        facts_.emplace(View(), log_ ? &*log_ : nullptr, platform::ThisSystem());
        WatchDisplayLoss([this] { FinishWithoutDisplay(); });
    }
    ~FltkFrontEnd() override {
        WatchDisplayLoss({});
        loop_.SetToolkitWait(nullptr);
    }
    FltkFrontEnd(const FltkFrontEnd&) = delete;
    FltkFrontEnd& operator=(const FltkFrontEnd&) = delete;

    app::MainView& View() override {
        if (logged_) return *logged_;
        return window_;
    }
    platform::SystemFacts& Facts() override { return *facts_; }
    void Connect(app::MainViewEvents& events) override {
        events_ = &events;
        window_.Connect(events);
    }
    // The window is up by now; its first activation starts the run.
    void Start() override {
        loop_.Post([events = events_] { events->Activated(); });
        if (input_) input_->Start(*events_);
        started_ = true;
    }

private:
    // From Xlib's handler for the lost display, which must not return. The
    // handler's caller sits in the toolkit, at a point the loop nests from
    // anyway (the toolkit's wait, or a window call in a step), so the loop
    // runs on from here, as inside a Pause: no frame is left by a jump and
    // the run ends on its usual way, which ends the process. Nothing in the
    // toolkit is entered again.
    [[noreturn]] void FinishWithoutDisplay() {
        wait_.LeaveDisplay();
        window_.LeaveDisplay();
        if (log_) std::cout << kDisplayLostEvent << std::endl;
        if (!started_ || events_ == nullptr) platform::EndProcess(kLostBeforeRunExitCode);
        // No one is left to see the window: the run ends as the right button
        // would end it now (the engine's cancel during a write).
        events_->UserGone();
        loop_.Run();
        platform::EndProcess(events_->LoopEnded());
    }

    platform::EventLoop& loop_;
    FltkWait wait_;
    FltkView window_;
    std::optional<ConsoleView> log_;
    std::optional<LoggedView> logged_;
    std::optional<ConsoleInput> input_;
    std::optional<DesktopFacts> facts_;
    app::MainViewEvents* events_ = nullptr;
    bool started_ = false;
};

} // namespace

bool DesktopAvailable() {
    return OpenDesktopDisplay();
}

std::unique_ptr<app::FrontEnd> MakeFltkFrontEnd(platform::EventLoop& loop, bool withEventLog) {
    return std::make_unique<FltkFrontEnd>(loop, withEventLog);
}

} // namespace qv::ui
