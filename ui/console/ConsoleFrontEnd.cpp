#include "ConsoleFrontEnd.h"

#include "ConsoleInput.h"

#include <iostream>
#include <unistd.h>

namespace qv::ui {

namespace {

class ConsoleFrontEnd final : public app::FrontEnd {
public:
    ConsoleFrontEnd(platform::EventLoop& loop, std::ostream& out, ConsoleFace face, bool keys)
        : view_(out, face), facts_(view_, platform::ThisSystem()), input_(loop, keys, true),
          loop_(loop) {}

    app::MainView& View() override { return view_; }
    ConsoleView& Screen() { return view_; }
    platform::SystemFacts& Facts() override { return facts_; }
    void Connect(app::MainViewEvents& events) override { events_ = &events; }
    // A terminal application is active once it runs: that is the first activation.
    void Start() override {
        // Activation first: a line typed ahead reaches the run, not stage 0.
        loop_.Post([events = events_] { events->Activated(); });
        input_.Start(*events_);
    }

private:
    ConsoleView view_;
    ConsoleFacts facts_;
    ConsoleInput input_;
    app::MainViewEvents* events_ = nullptr;
    platform::EventLoop& loop_;
};

} // namespace

void ConsoleFacts::OpenUrl(const std::string& url) {
    view_.NoteUrl(url);
    if (view_.Face() == ConsoleFace::Screen) system_.OpenUrl(url);
}

std::unique_ptr<app::FrontEnd> MakeConsoleFrontEnd(platform::EventLoop& loop, std::ostream& out,
                                                   ConsoleFace face, bool keys) {
    return std::make_unique<ConsoleFrontEnd>(loop, out, face, keys);
}

std::unique_ptr<app::FrontEnd> MakeConsoleFrontEnd(platform::EventLoop& loop) {
    const bool screen = ::isatty(STDOUT_FILENO) == 1;
    const bool keys = screen && ::isatty(STDIN_FILENO) == 1;
    auto frontEnd = std::make_unique<ConsoleFrontEnd>(
        loop, std::cout, screen ? ConsoleFace::Screen : ConsoleFace::EventLog, keys);
    frontEnd->Screen().SetTerminalSize(platform::OutputTerminalSize);
    return frontEnd;
}

} // namespace qv::ui
