// The window model on its own: the look window creation gives, the result
// rule, the right button's caption and focus, and the buttons' handlers.

#include "tests/unit/app/RunFlowHarness.h"

namespace qv::test {
namespace {

using app::Button;

// The notice is content, not a change: the left button is not touched.
TEST(UnitMainTest, ThePublisherNoticeLeavesTheLeftButtonAlone) {
    RunFlowHarness h;
    h.run.ntFamily = false;
    app::TFormMain form(h.view, h.facts, h.run);
    form.UserSettings = &h.store;
    ASSERT_FALSE(h.view.ConsoleLines().empty());
    form.FormCreate();
    EXPECT_EQ(h.RightCaption(), "Please Wait");
    EXPECT_EQ(h.view.minimizeRestores, 0);
    EXPECT_FALSE(h.view.HasFocus(Button::Left));
    EXPECT_FALSE(h.view.HasFocus(Button::Right));
}

TEST(UnitMainTest, FewColoursGivePlainRedAndBlackText) {
    for (const int depth : {4, 8, 16}) {
        SCOPED_TRACE(depth);
        RunFlowHarness h;
        h.view.bitsPerPixel = depth;
        h.CreateForm();
        const bool few = depth < 16;
        EXPECT_EQ(h.view.gradient[0], few ? 0x0000FFu : 0x000000u);
        EXPECT_EQ(h.view.gradient[1], few ? 0x0000FFu : 0x2600C4u);
        EXPECT_EQ(h.view.consoleColour, few ? 0x000000u : 0xFFFFFFu);
    }
}

TEST(UnitMainTest, NtFamilyMinimisesAndRestores) {
    RunFlowHarness h;
    h.CreateForm();
    EXPECT_EQ(h.view.minimizeRestores, 1);
}

TEST(UnitMainTest, SetRunResultKeepsTheFirstRealResult) {
    RunFlowHarness h;
    h.CreateForm();
    struct Step {
        int32_t code;
        int32_t expected;
    };
    const Step steps[] = {{0, 0}, {1, 1}, {-1, -1}, {5, 5}, {1, 5}, {7, 5}, {0, 5}};
    for (const Step& step : steps)
        EXPECT_EQ(h.form->SetRunResult(step.code), step.expected);
}

TEST(UnitMainTest, RightCaptionAndFocus) {
    RunFlowHarness h;
    h.CreateForm();
    h.form->SetRightCaption(1);
    EXPECT_EQ(h.RightCaption(), "&OK");
    EXPECT_TRUE(h.view.HasFocus(Button::Right));
    h.form->SetRightCaption(0);
    EXPECT_EQ(h.RightCaption(), "&Cancel");
    EXPECT_TRUE(h.view.HasFocus(Button::Left));
}

TEST(UnitMainTest, EveryConsoleLineEnablesTheLeftButton) {
    RunFlowHarness h;
    h.CreateForm();
    h.view.SetEnabled(Button::Left, false);
    h.form->AddStatusLine("line");
    EXPECT_TRUE(h.view.Enabled(Button::Left));
    EXPECT_TRUE(h.view.HasFocus(Button::Left));
    EXPECT_EQ(h.view.ConsoleLines().back(), "line");
}

TEST(UnitMainTest, SwappedHandlersRunInsteadOfTheDefaultOnes) {
    RunFlowHarness h;
    h.CreateForm();
    int asked = 0;
    h.form->ButtonRight.OnClick = [&asked] { ++asked; };
    h.PressRight();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(h.form->ExitCode().has_value());
    // A disabled button takes no press.
    h.form->ButtonLeft.OnClick = [&asked] { ++asked; };
    h.form->ButtonLeft.SetEnabled(false);
    h.PressLeft();
    EXPECT_EQ(asked, 1);
}

} // namespace
} // namespace qv::test
