#include "app/UnitMain.h"

#include "../platform/PlatformTempFolder.h"
#include "FakeMainView.h"
#include "app/CommonUtils.h"
#include "app/RunState.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::app {
namespace {

class UnitMainTest : public ::testing::Test {
protected:
    // A run that ends writes and starts its clean-up batch in the working
    // folder: a folder of the test's own keeps it out of the caller's.
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.Path());
        SetExecutablePath(folder_.File("qvapplet"));
    }
    void TearDown() override {
        SetExecutablePath("");
        std::filesystem::current_path(previousFolder_);
    }

    test::PlatformTempFolder folder_;
    std::filesystem::path previousFolder_;

    test::FakeMainView view;
    test::FakeFacts facts;
    TRunState run;
};

// The notice is content, not a change: the left button is not touched.
TEST_F(UnitMainTest, ThePublisherNoticeLeavesTheLeftButtonAlone) {
    TFormMain form(view, facts, run);
    ASSERT_EQ(view.items.size(), 1u);
    form.FormCreate();
    EXPECT_EQ(view.captions[1], "Please Wait");
    EXPECT_EQ(view.minimizeRestores, 0);
    EXPECT_FALSE(view.focus.has_value());
}

TEST_F(UnitMainTest, FewColoursGivePlainRedAndBlackText) {
    for (const int depth : {4, 8}) {
        view.depth = depth;
        TFormMain form(view, facts, run);
        form.FormCreate();
        EXPECT_EQ(view.gradient[0], 0x0000FFu) << depth;
        EXPECT_EQ(view.gradient[1], 0x0000FFu) << depth;
        EXPECT_EQ(view.consoleColour, 0x000000u) << depth;
    }
    view.depth = 16;
    TFormMain form(view, facts, run);
    form.FormCreate();
    EXPECT_EQ(view.gradient[1], 0x2600C4u);
}

TEST_F(UnitMainTest, NtFamilyMinimisesAndRestores) {
    run.ntFamily = true;
    TFormMain form(view, facts, run);
    form.FormCreate();
    EXPECT_EQ(view.minimizeRestores, 1);
}

TEST_F(UnitMainTest, SetRunResultKeepsTheFirstRealResult) {
    TFormMain form(view, facts, run);
    struct Step {
        int32_t code;
        int32_t expected;
    };
    const Step steps[] = {{0, 0}, {1, 1}, {-1, -1}, {5, 5}, {1, 5}, {7, 5}, {0, 5}};
    for (const Step& step : steps)
        EXPECT_EQ(form.SetRunResult(step.code), step.expected);
}

TEST_F(UnitMainTest, RightCaptionAndFocus) {
    TFormMain form(view, facts, run);
    form.SetRightCaption(1);
    EXPECT_EQ(view.captions[1], "&OK");
    EXPECT_EQ(view.focus, Button::Right);
    form.SetRightCaption(0);
    EXPECT_EQ(view.captions[1], "&Cancel");
    EXPECT_EQ(view.focus, Button::Left);
}

TEST_F(UnitMainTest, EveryConsoleLineEnablesTheLeftButton) {
    TFormMain form(view, facts, run);
    view.enabled[0] = false;
    form.AddStatusLine("line");
    EXPECT_TRUE(view.enabled[0]);
    EXPECT_EQ(view.focus, Button::Left);
    EXPECT_EQ(view.items.back(), "line");
}

TEST_F(UnitMainTest, TheRunStartsOnTheFirstActivationOnly) {
    TFormMain form(view, facts, run);
    form.FormCreate();
    form.RightClicked(); // stage 0: nothing
    EXPECT_FALSE(form.ExitCode().has_value());
    form.Activated();
    EXPECT_TRUE(run.values.RunStarted);
    // The run went on to its first check: no content file here.
    EXPECT_EQ(form.RunStage, 1);
    EXPECT_EQ(view.captions[1], "&OK");
    view.captions[1] = "changed";
    form.Activated();
    EXPECT_EQ(view.captions[1], "changed");
    EXPECT_EQ(facts.sleeps, std::vector<uint32_t>{0});
}

TEST_F(UnitMainTest, TheWindowRefusesToCloseAndAnswersAutoPlay) {
    TFormMain form(view, facts, run);
    form.FormCreate();
    EXPECT_FALSE(form.CloseRequested());
    EXPECT_EQ(form.WindowMessage(form.QueryCancelAutoPlayMessage), 1);
    EXPECT_FALSE(form.WindowMessage(form.QueryCancelAutoPlayMessage + 1));
    run.values.SuppressAutoPlay = false;
    EXPECT_FALSE(form.WindowMessage(form.QueryCancelAutoPlayMessage));
}

TEST_F(UnitMainTest, SwappedHandlersRunInsteadOfTheDefaultOnes) {
    TFormMain form(view, facts, run);
    form.FormCreate();
    form.Activated();
    int asked = 0;
    form.ButtonRight.OnClick = [&asked] { ++asked; };
    form.RightClicked();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(form.ExitCode().has_value());
    // A disabled button takes no press.
    form.ButtonLeft.OnClick = [&asked] { ++asked; };
    view.enabled[0] = false;
    form.LeftClicked();
    EXPECT_EQ(asked, 1);
}

} // namespace
} // namespace qv::app
