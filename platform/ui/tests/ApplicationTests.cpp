#include "UITestSupport.h"

#include <cstdlib>
#include <thread>

using namespace ui;

namespace {

// Records each of its layout passes in `events`, once it has one.
class RecordingView : public View {
public:
    void layoutSubviews() override {
        if (events) events->push_back("laid out");
        View::layoutSubviews();
    }
    std::vector<std::string>* events = nullptr;
};

class Delegate : public Responder, public ApplicationDelegate {
public:
    bool application(Application& application,
                     const base::Ref<base::Dictionary>& options) override {
        launchedWithOptions = options != nullptr;
        window = Window::make({0, 0, 320, 480});
        auto controller = ViewController::make();
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        board = std::make_shared<RecordingView>();
        window->addSubview(board);
        window->layoutIfNeeded();
        board->events = &events;
        events.push_back("launched");
        // Work posted now runs after the launch call, in order.
        RunLoop::main().post([this] { events.push_back("first"); });
        RunLoop::main().post([this, &application] {
            events.push_back("second");
            // The queue never drained since the launch, yet this change is
            // laid out before the application ends.
            board->setNeedsLayout();
            application.terminate(7);
        });
        RunLoop::main().post([this] { events.push_back("after terminate"); });
        return true;
    }
    void applicationWillTerminate(Application&) override { events.push_back("terminating"); }

    std::vector<std::string> events;
    bool launchedWithOptions = true;
    base::Ref<Window> window;
    base::Ref<RecordingView> board;
};

}  // namespace

TEST(ApplicationTest, ApplicationMainLaunchesRunsAndTerminatesWithTheStatus) {
    base::Ref<Delegate> delegate;
    char program[] = "demo";
    char flag[] = "--fast";
    char* argv[] = {program, flag, nullptr};
    int status = applicationMain(2, argv, [&] {
        delegate = std::make_shared<Delegate>();
        return delegate;
    });
    EXPECT_EQ(status, 7);
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"launched", "first", "second", "laid out", "terminating"}));
    EXPECT_FALSE(delegate->launchedWithOptions);
    auto application = Application::shared();
    EXPECT_EQ(application->delegate(), delegate);
    EXPECT_EQ(application->nextResponder(), delegate);
    EXPECT_EQ(application->arguments(), (std::vector<std::string>{"demo", "--fast"}));
    EXPECT_EQ(application->keyWindow(), delegate->window);
    EXPECT_EQ(delegate->window->nextResponder(), application);
    EXPECT_FALSE(application->isRunning());

    // The work left behind by the terminate stays queued and runs next time.
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(delegate->events.back(), "after terminate");

    EXPECT_THROW(applicationMain(0, nullptr, [] { return base::Ref<ApplicationDelegate>(); }),
                 base::InvalidArgumentException);
}

TEST(RunLoopTest, OtherThreadsPostWorkThatRunsInOrderOnTheLoopThread) {
    RunLoop loop;
    std::vector<int> seen;
    std::thread::id loopThread = std::this_thread::get_id();
    bool allOnLoopThread = true;
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                seen.push_back(i);
                allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
            });
        }
        loop.post([&] { loop.stop(); });
    });
    loop.run();
    producer.join();
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnLoopThread);
    EXPECT_FALSE(loop.isRunning());
}

TEST(RunLoopTest, AStopFromAnotherThreadEndsTheRunAndFailedWorkKeepsTheRestQueued) {
    RunLoop loop;
    int turns = 0;
    loop.addTurnObserver([&] { ++turns; });
    std::thread stopper([&] {
        while (!loop.isRunning()) std::this_thread::yield();
        loop.stop();
    });
    loop.run();  // waits with an empty queue until the stop
    stopper.join();
    EXPECT_GE(turns, 1);

    std::vector<std::string> done;
    loop.post([] { throw std::runtime_error("broken work"); });
    loop.post([&] { done.push_back("next"); });
    EXPECT_THROW(loop.runUntilIdle(), std::runtime_error);
    EXPECT_TRUE(done.empty());
    loop.runUntilIdle();
    EXPECT_EQ(done, (std::vector<std::string>{"next"}));
}

TEST(RunLoopTest, TheMainLoopLaysOutWindowsWhenItHasDrainedItsQueue) {
    Application::shared();  // installs the display cycle
    auto window = Window::make({0, 0, 100, 100});
    auto view = View::make();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    window->addSubview(view);
    LayoutConstraint::activateConstraints({
        view->widthAnchor()->constraintEqualToConstant(40),
        view->heightAnchor()->constraintEqualToConstant(30),
        view->centerXAnchor()->constraintEqualToAnchor(window->centerXAnchor()),
        view->centerYAnchor()->constraintEqualToAnchor(window->centerYAnchor()),
    });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(view->frame(), (Rect{30, 35, 40, 30}));
}

TEST(ToolkitVersionTest, TheEnvironmentCanOnlyMakeTheToolkitOlder) {
    ToolkitVersion own = toolkitVersion();
    EXPECT_TRUE(isToolkitVersionAtLeast({0, 1}));
    setenv("UI_TOOLKIT_VERSION", "0.0", 1);
    EXPECT_EQ(toolkitVersion(), (ToolkitVersion{0, 0}));
    EXPECT_FALSE(isToolkitVersionAtLeast(own));
    setenv("UI_TOOLKIT_VERSION", "99.0", 1);
    EXPECT_EQ(toolkitVersion(), own);
    unsetenv("UI_TOOLKIT_VERSION");
}
