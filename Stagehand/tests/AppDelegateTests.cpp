#include <gtest/gtest.h>

#include "RootViewController.h"
#include "Stagehand/AppDelegate.h"
#include "Stagehand/SGHInitialize.h"
#include "StagehandTestSupport.h"
#include "TintColor.h"
#include "base/Log.h"
#include "base/Print.h"
#include "declarative/Declarative.h"

using namespace stagehandtest;
using stagehand::LiveViewConfiguration;
using stagehand::RootViewController;

namespace {

// Restores the runtime print hook, puts a recording hook in its place, and
// collects the printed text that reaches the log.
class LaunchTest : public ScreenTest {
protected:
    void SetUp() override {
        saved_ = base::_paddockPrintHook().get();
        base::_paddockPrintHook().set([this](const std::string& text) { hooked.push_back(text); });
        recordingHook = base::_paddockPrintHook().get();
        token_ = base::Log::addObserver([this](const base::LogEntry& entry) {
            if (entry.category == "ExecutionExtension.print") logged.push_back(entry.message);
        });
    }
    void TearDown() override {
        base::Log::removeObserver(token_);
        base::_paddockPrintHook().set(saved_);
        ScreenTest::TearDown();
    }

    std::shared_ptr<const base::PrintHook> recordingHook;
    std::vector<std::string> hooked;
    std::vector<std::string> logged;

private:
    std::shared_ptr<const base::PrintHook> saved_;
    base::Log::Token token_ = 0;
};

// A live-view application: it shows `liveView` and notes what it is asked.
class ExampleDelegate : public stagehand::AppDelegate {
public:
    ExampleDelegate(PaddockLiveViewable liveView,
                    std::optional<LiveViewConfiguration> configuration)
        : liveView_(std::move(liveView)), configuration_(configuration) {}

    PaddockLiveViewable setUpLiveView() override {
        ++setUps;
        hookAtSetUp = base::_paddockPrintHook().get();
        base::print("asked for the live view");
        return liveView_;
    }
    LiveViewConfiguration liveViewConfiguration() const override {
        ++configurationReads;
        return configuration_ ? *configuration_ : AppDelegate::liveViewConfiguration();
    }

    int setUps = 0;
    mutable int configurationReads = 0;
    std::shared_ptr<const base::PrintHook> hookAtSetUp;

private:
    PaddockLiveViewable liveView_;
    std::optional<LiveViewConfiguration> configuration_;
};

base::Ref<RootViewController> rootOfKeyWindow() {
    auto window = ui::Application::shared()->keyWindow();
    return window ? std::dynamic_pointer_cast<RootViewController>(window->rootViewController())
                  : nullptr;
}

}  // namespace

TEST_F(LaunchTest, SGHInitializeForwardsPrintedTextFromThenOn) {
    base::print("before");
    EXPECT_TRUE(logged.empty());
    SGHInitialize();
    EXPECT_NE(base::_paddockPrintHook().get(), recordingHook);
    base::print("after");
    EXPECT_EQ(logged, std::vector<std::string>{"after\n"});
    EXPECT_EQ(hooked, (std::vector<std::string>{"before\n", "after\n"}));
}

TEST_F(LaunchTest, LaunchInitialisesCorralBeforeAskingForTheLiveViewAndShowsIt) {
    auto live = ui::ViewController::make();
    auto delegate = std::make_shared<ExampleDelegate>(live, LiveViewConfiguration::sideBySide);
    EXPECT_EQ(ui::Application::shared()->keyWindow(), nullptr);

    EXPECT_TRUE(delegate->application(*ui::Application::shared(), nullptr));
    EXPECT_EQ(delegate->setUps, 1);
    EXPECT_EQ(delegate->configurationReads, 1);
    // Printing was already forwarded when the live view was asked for.
    ASSERT_NE(delegate->hookAtSetUp, nullptr);
    EXPECT_NE(delegate->hookAtSetUp, recordingHook);
    EXPECT_EQ(logged, std::vector<std::string>{"asked for the live view\n"});
    EXPECT_EQ(hooked, std::vector<std::string>{"asked for the live view\n"});

    auto window = ui::Application::shared()->keyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->frame(), ui::Screen::mainScreen()->bounds());
    auto tint = window->tintColor();
    EXPECT_EQ(tint, stagehand::tintColor());
    EXPECT_EQ(tint->red(), 0.996078431372549);
    EXPECT_EQ(tint->green(), 0.29411764705882354);
    EXPECT_EQ(tint->blue(), 0.14901960784313725);
    EXPECT_EQ(tint->alpha(), 1.0);

    auto root = rootOfKeyWindow();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->configuration(), LiveViewConfiguration::sideBySide);
    EXPECT_EQ(root->hostViewController()->liveView(), live);
    // 1024 points wide: the trailing half.
    EXPECT_EQ(windowFrame(live->view()), (ui::Rect{512, 0, 512, 768}));
}

TEST_F(LaunchTest, WithTheBaseConfigurationTheLiveViewFillsTheScreen) {
    auto live = ui::View::make();
    auto delegate = std::make_shared<ExampleDelegate>(live, std::nullopt);
    delegate->application(*ui::Application::shared(), nullptr);
    EXPECT_EQ(rootOfKeyWindow()->configuration(), LiveViewConfiguration::fullScreen);
    for (ui::Size size : {ui::Size{1024, 768}, ui::Size{834, 1194}, ui::Size{1194, 834}}) {
        setScreenSize(size.width, size.height);
        EXPECT_EQ(windowFrame(live), (ui::Rect{{0, 0}, size}));
    }
}

TEST_F(LaunchTest, TheBaseDelegateStopsAtLaunchForWantOfALiveView) {
    EXPECT_DEATH(
        {
            auto delegate = std::make_shared<stagehand::AppDelegate>();
            delegate->application(*ui::Application::shared(), nullptr);
        },
        "Stagehand/AppDelegate:42: Fatal error: setUpLiveView\\(\\) must be overridden to return a "
        "live view");
}

TEST_F(LaunchTest, AnApplicationRunsSideBySideAcrossRotations) {
    // The application's own delegate: after launching it rotates the screen
    // and back, noting where the live view went, then ends.
    class RotatingDelegate : public ExampleDelegate {
    public:
        using ExampleDelegate::ExampleDelegate;
        bool application(ui::Application& application,
                         const base::Ref<base::Dictionary>& options) override {
            bool launched = ExampleDelegate::application(application, options);
            ui::RunLoop::main().post([this, &application] {
                auto view = rootOfKeyWindow()->hostViewController()->liveView()->view();
                frames.push_back(windowFrame(view));
                setScreenSize(834, 1194);
                frames.push_back(windowFrame(view));
                setScreenSize(1194, 834);
                frames.push_back(windowFrame(view));
                application.terminate(3);
            });
            return launched;
        }
        std::vector<ui::Rect> frames;
    };

    setScreenSize(1194, 834);
    base::Ref<RotatingDelegate> delegate;
    int status = ui::applicationMain(0, nullptr, [&delegate] {
        delegate = std::make_shared<RotatingDelegate>(
            declarative::HostingController::make(declarative::Column(
                {declarative::Text("live"), declarative::Fill(ui::Color::blackColor())})),
            LiveViewConfiguration::sideBySide);
        return delegate;
    });
    EXPECT_EQ(status, 3);
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(delegate->frames, (std::vector<ui::Rect>{
                                    {597, 0, 597, 834},
                                    {0, 0, 834, 597},
                                    {597, 0, 597, 834},
                                }));
}
