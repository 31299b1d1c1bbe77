#include <gtest/gtest.h>

#include "Corral/Stagehand/AppDelegate.h"
#include "Corral/base/Print.h"
#include "Corral/testing/Recorders.h"
#include "RootViewController.h"
#include "StagehandTestSupport.h"
#include "TintColor.h"

using namespace stagehandtest;
using stagehand::LiveViewConfiguration;

namespace {

// Replaces the runtime print hook with a quiet one for the test and collects the
// printed text that reaches the log.
class LaunchTest : public ScreenTest {
protected:
    void SetUp() override {
        saved_ = base::_paddockPrintHook().get();
        base::_paddockPrintHook().set([](const std::string&) {});
        hookBeforeLaunch = base::_paddockPrintHook().get();
    }
    void TearDown() override {
        base::_paddockPrintHook().set(saved_);
        ScreenTest::TearDown();
    }

    std::shared_ptr<const base::PrintHook> hookBeforeLaunch;
    testing_support::LogRecorder printed{"ExecutionExtension.print"};

private:
    std::shared_ptr<const base::PrintHook> saved_;
};

class ExampleDelegate : public stagehand::AppDelegate {
public:
    ExampleDelegate(PaddockLiveViewable liveView, LiveViewConfiguration configuration)
        : liveView_(std::move(liveView)), configuration_(configuration) {}

    PaddockLiveViewable setUpLiveView() override {
        ++setUps;
        hookAtSetUp = base::_paddockPrintHook().get();
        base::print("asked for the live view");
        return liveView_;
    }
    LiveViewConfiguration liveViewConfiguration() const override { return configuration_; }

    int setUps = 0;
    std::shared_ptr<const base::PrintHook> hookAtSetUp;

private:
    PaddockLiveViewable liveView_;
    LiveViewConfiguration configuration_;
};

}  // namespace

TEST_F(LaunchTest, LaunchInitialisesCorralBeforeAskingForTheLiveViewThenShowsIt) {
    auto live = ui::ViewController::make();
    auto delegate = std::make_shared<ExampleDelegate>(live, LiveViewConfiguration::sideBySide);
    EXPECT_TRUE(delegate->application(*ui::Application::shared(), nullptr));

    // Printed text was already forwarded to the log.
    EXPECT_EQ(delegate->setUps, 1);
    EXPECT_NE(delegate->hookAtSetUp, hookBeforeLaunch);
    EXPECT_EQ(printed.messages(), std::vector<std::string>{"asked for the live view\n"});

    auto window = ui::Application::shared()->keyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->tintColor(), stagehand::tintColor());
    EXPECT_EQ(window->tintColor()->red(), 0.996078431372549);
    EXPECT_EQ(window->tintColor()->green(), 0.29411764705882354);
    EXPECT_EQ(window->tintColor()->blue(), 0.14901960784313725);
    EXPECT_EQ(window->tintColor()->alpha(), 1.0);
    auto root =
        std::dynamic_pointer_cast<stagehand::RootViewController>(window->rootViewController());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->configuration(), LiveViewConfiguration::sideBySide);
    EXPECT_EQ(windowFrame(live->view()), (ui::Rect{512, 0, 512, 768}));  // 1024 wide: trailing half
}

TEST_F(LaunchTest, TheBaseDelegateStopsAtLaunchForWantOfALiveView) {
    EXPECT_DEATH(std::make_shared<stagehand::AppDelegate>()->application(*ui::Application::shared(),
                                                                         nullptr),
                 "Stagehand/AppDelegate:42: Fatal error: setUpLiveView\\(\\) must be overridden to "
                 "return a live view");
}
