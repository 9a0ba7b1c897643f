#ifndef _WIN32
#include "ui/console/ConsoleView.h"
#include "ui/FrontEndChoice.h"
#include "ui/console/ConsoleFrontEnd.h"
#include "ui/console/ConsoleInput.h"

#include "app/CommonUtils.h"
#include "app/RunState.h"
#include "app/UnitMain.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qv::ui {
namespace {

TEST(ConsoleViewTest, FrontEndChoiceFollowsTheDisplayAndTheVariable) {
    struct Case {
        const char* variable;
        bool display;
        FrontEndKind kind;
    };
    const Case cases[] = {
        {nullptr, true, FrontEndKind::Window},
        {nullptr, false, FrontEndKind::Terminal},
        {"terminal", true, FrontEndKind::Terminal},
        {"window+log", true, FrontEndKind::WindowAndLog},
        {"window+log", false, FrontEndKind::Terminal},
        {"Terminal", true, FrontEndKind::Window}, // values are exact
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseFrontEnd(c.variable, c.display), c.kind)
            << (c.variable ? c.variable : "(unset)") << " display " << c.display;
    EXPECT_TRUE(AsksForHelp({"x", "--help"}));
    EXPECT_FALSE(AsksForHelp({"-help", "/show"}));
}

TEST(ConsoleViewTest, StatusItemsSplitAtEveryLineBreak) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitStatusItem("one"), Lines{"one"});
    EXPECT_EQ(SplitStatusItem(""), Lines{""});
    EXPECT_EQ(SplitStatusItem("\r\n\r\n*** Stop\r\n"), (Lines{"", "", "*** Stop", ""}));
    EXPECT_EQ(SplitStatusItem("a\nb\rc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitStatusItem("a\r\r\nb"), (Lines{"a", "", "b"}));
}

TEST(ConsoleViewTest, TheEventLogHasOneLinePerChange) {
    std::ostringstream out;
    ConsoleView view(out, ConsoleFace::EventLog);
    view.AddStatusItem("\r\n--> Erasing\r\n");
    view.SetCaption(app::Button::Right, "&Cancel");
    view.SetCaption(app::Button::Right, "&Cancel"); // no change
    view.SetCaption(app::Button::Left, "Yes");
    view.SetEnabled(app::Button::Left, false);
    view.SetEnabled(app::Button::Right, false); // not logged
    view.SetGaugePosition(app::Gauge::Main, 57);
    view.SetGaugeMax(app::Gauge::Main, 100); // unchanged
    view.SetGaugePosition(app::Gauge::Left, 15);
    view.SetGaugeMax(app::Gauge::Left, 200);
    view.SetGaugeHint(app::Gauge::Main, "57%");
    view.Beep();
    view.NoteUrl("http://example.invalid/help");
    EXPECT_EQ(out.str(), "console: \n"
                         "console: --> Erasing\n"
                         "console: \n"
                         "caption right: &Cancel\n"
                         "caption left: Yes\n"
                         "enabled left: 0\n"
                         "gauge main: 57/100\n"
                         "gauge left: 15/100\n"
                         "gauge left: 15/200\n"
                         "hint main: 57%\n"
                         "beep\n"
                         "url: http://example.invalid/help\n");
}

TEST(ConsoleViewTest, TheScreenShowsConsoleGaugesAndCaptions) {
    std::ostringstream out;
    ConsoleView view(out, ConsoleFace::Screen, 3);
    for (int i = 1; i <= 5; ++i)
        view.AddStatusItem("line " + std::to_string(i));
    EXPECT_TRUE(out.str().empty()); // nothing before the window is shown
    view.SetGaugePosition(app::Gauge::Main, 50);
    view.SetCaption(app::Button::Right, "&Cancel");
    view.ShowWindow();
    const std::string screen = out.str();
    EXPECT_EQ(screen.find("line 2"), std::string::npos); // scrolled away
    EXPECT_NE(screen.find("line 3"), std::string::npos);
    EXPECT_NE(screen.find("line 5"), std::string::npos);
    EXPECT_NE(screen.find(TextBar(50, 100, 40)), std::string::npos);
    EXPECT_NE(screen.find("[Enter/r] Cancel"), std::string::npos);
    EXPECT_NE(screen.find("[l] Help"), std::string::npos);
}

TEST(ConsoleViewTest, BarsAndCaptions) {
    EXPECT_EQ(TextBar(0, 100, 4), "[----]");
    EXPECT_EQ(TextBar(50, 100, 4), "[##--]");
    EXPECT_EQ(TextBar(150, 100, 4), "[####]");
    EXPECT_EQ(TextBar(5, 0, 4), "[----]");
    EXPECT_EQ(ShownCaption("&OK"), "OK");
    EXPECT_EQ(ShownCaption("Save && Exit"), "Save & Exit");
}

TEST(ConsoleInputTest, WordsAndKeysPressButtons) {
    EXPECT_EQ(ButtonForLine("right"), app::Button::Right);
    EXPECT_EQ(ButtonForLine(" r \r"), app::Button::Right);
    EXPECT_EQ(ButtonForLine("left"), app::Button::Left);
    EXPECT_EQ(ButtonForLine("l"), app::Button::Left);
    EXPECT_FALSE(ButtonForLine("RIGHT"));
    EXPECT_FALSE(ButtonForLine("rightt"));
    EXPECT_FALSE(ButtonForLine(""));
    EXPECT_EQ(ButtonForKey('\n'), app::Button::Right);
    EXPECT_EQ(ButtonForKey('r'), app::Button::Right);
    EXPECT_EQ(ButtonForKey('l'), app::Button::Left);
    EXPECT_FALSE(ButtonForKey('x'));
}

TEST(ConsoleFrontEndTest, PagesAndBeepsBecomeEvents) {
    std::ostringstream out;
    const auto loop = platform::MakeEventLoop();
    const auto frontEnd = MakeConsoleFrontEnd(*loop, out, ConsoleFace::EventLog, false);
    frontEnd->Facts().OpenUrl("http://example.invalid/report?r=0");
    frontEnd->Facts().Beep();
    EXPECT_EQ(out.str(), "url: http://example.invalid/report?r=0\nbeep\n");
}

TEST(ConsoleFrontEndTest, TheWindowModelDrivesTheLog) {
    std::ostringstream out;
    const auto loop = platform::MakeEventLoop();
    app::SetApplicationLoop(loop.get());
    const auto frontEnd = MakeConsoleFrontEnd(*loop, out, ConsoleFace::EventLog, false);
    app::TRunState run;
    app::TFormMain form(frontEnd->View(), frontEnd->Facts(), run);
    form.FormCreate();
    form.Activated();
    form.AddStatusLine("done");
    const std::string log = out.str();
    EXPECT_NE(log.find("caption right: Please Wait\ncaption right: &Cancel\n"), std::string::npos);
    EXPECT_NE(log.find("console: done\n"), std::string::npos);
    app::SetApplicationLoop(nullptr);
}

} // namespace
} // namespace qv::ui
#endif
