#include "ConsoleInput.h"

#include "platform/Processes.h"

#include <iostream>
#include <mutex>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qv::ui {

namespace {

constexpr const char* kRightWords[] = {"right", "r"};
constexpr const char* kLeftWords[] = {"left", "l"};

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

// The terminal's settings while keys are read one by one, restored at the end.
class ConsoleInput::RawKeys {
public:
    RawKeys() {
        if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
        // The run ends through the process's end, where no destructor runs.
        if (active_)
            platform::SetBeforeProcessEnd(
                [saved = saved_] { ::tcsetattr(STDIN_FILENO, TCSANOW, &saved); });
    }
    ~RawKeys() {
        if (!active_) return;
        platform::SetBeforeProcessEnd(nullptr);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    RawKeys(const RawKeys&) = delete;
    RawKeys& operator=(const RawKeys&) = delete;

private:
    termios saved_{};
    bool active_ = false;
};

std::optional<app::Button> ButtonForLine(const std::string& line) {
    const std::string word = Trimmed(line);
    for (const char* right : kRightWords)
        if (word == right) return app::Button::Right;
    for (const char* left : kLeftWords)
        if (word == left) return app::Button::Left;
    return std::nullopt;
}

std::optional<app::Button> ButtonForKey(char key) {
    if (key == '\n' || key == '\r' || key == 'r' || key == 'R') return app::Button::Right;
    if (key == 'l' || key == 'L') return app::Button::Left;
    return std::nullopt;
}

// Shared with the reader thread, which may outlive the front end while it
// waits for input; once disconnected, presses go nowhere.
struct ConsoleInput::Target {
    std::mutex lock;
    platform::EventLoop* loop = nullptr;
    app::MainViewEvents* events = nullptr;

    void Press(app::Button button) {
        std::lock_guard guard(lock);
        if (loop == nullptr) return;
        app::MainViewEvents* receiver = events;
        loop->Post([receiver, button] {
            if (button == app::Button::Right)
                receiver->RightClicked();
            else
                receiver->LeftClicked();
        });
    }
    void Gone() {
        std::lock_guard guard(lock);
        if (loop == nullptr) return;
        app::MainViewEvents* receiver = events;
        loop->Post([receiver] { receiver->UserGone(); });
    }
    void Disconnect() {
        std::lock_guard guard(lock);
        loop = nullptr;
        events = nullptr;
    }
};

ConsoleInput::ConsoleInput(platform::EventLoop& loop, bool keys, bool endIsUserGone)
    : target_(std::make_shared<Target>()), keys_(keys), endIsUserGone_(endIsUserGone) {
    target_->loop = &loop;
}

ConsoleInput::~ConsoleInput() {
    target_->Disconnect();
    rawKeys_.reset();
}

void ConsoleInput::Start(app::MainViewEvents& events) {
    if (started_) return;
    started_ = true;
    {
        std::lock_guard guard(target_->lock);
        target_->events = &events;
    }
    std::shared_ptr<Target> target = target_;
    const bool endIsGone = endIsUserGone_;
    if (keys_) {
        rawKeys_ = std::make_unique<RawKeys>();
        std::thread([target, endIsGone] {
            char key = 0;
            while (::read(STDIN_FILENO, &key, 1) == 1)
                if (const auto button = ButtonForKey(key)) target->Press(*button);
            if (endIsGone) target->Gone();
        }).detach();
        return;
    }
    std::thread([target, endIsGone] {
        std::string line;
        while (std::getline(std::cin, line))
            if (const auto button = ButtonForLine(line)) target->Press(*button);
        if (endIsGone) target->Gone();
    }).detach();
}

} // namespace qv::ui
