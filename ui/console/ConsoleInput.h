#pragma once
// The terminal front end's input: a reader thread turns lines (or, on a
// terminal, single keys) into button presses and hands them to the window
// thread through the event loop.

#include "app/MainView.h"
#include "platform/EventLoop.h"

#include <memory>
#include <optional>
#include <string>

namespace qv::ui {

// "right"/"r" and "left"/"l", surrounding blanks ignored.
std::optional<app::Button> ButtonForLine(const std::string& line);
// Enter or "r" is the right button, "l" the left one.
std::optional<app::Button> ButtonForKey(char key);

class ConsoleInput {
public:
    // Single keys when standard input is a terminal, lines otherwise. With
    // endIsUserGone the end of the input tells the run that no one will
    // press a button any more (where the input is the only way to press).
    ConsoleInput(platform::EventLoop& loop, bool keys, bool endIsUserGone);
    ~ConsoleInput();
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    void Start(app::MainViewEvents& events);

private:
    struct Target;
    class RawKeys;
    std::shared_ptr<Target> target_;
    std::unique_ptr<RawKeys> rawKeys_; // the terminal's settings come back with it
    bool keys_;
    bool endIsUserGone_;
    bool started_ = false;
};

} // namespace qv::ui
