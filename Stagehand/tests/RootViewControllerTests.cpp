#include <gtest/gtest.h>

#include "Corral/declarative/Declarative.h"
#include "Corral/ui/Coder.h"
#include "RootViewController.h"
#include "StagehandTestSupport.h"

using namespace stagehandtest;
using stagehand::LiveViewConfiguration;
using stagehand::RootViewController;
using Direction = ui::UserInterfaceLayoutDirection;

namespace {

// The active size constraints of the host view, by name.
std::string activeSizeConstraints(const RootViewController& root) {
    std::string names;
    auto add = [&names](const base::Ref<ui::LayoutConstraint>& constraint, const char* name) {
        if (constraint && constraint->isActive())
            names += (names.empty() ? "" : " ") + std::string(name);
    };
    add(root.liveViewFullWidthConstraint(), "fullWidth");
    add(root.liveViewFullHeightConstraint(), "fullHeight");
    add(root.liveViewHalfWidthConstraint(), "halfWidth");
    add(root.liveViewHalfHeightConstraint(), "halfHeight");
    return names;
}

class RootViewControllerTest : public ScreenTest {
protected:
    // Shows `liveView` in a visible key window.
    base::Ref<RootViewController> show(LiveViewConfiguration configuration,
                                       PaddockLiveViewable liveView) {
        auto root = RootViewController::make(configuration);
        root->setLiveView(std::move(liveView));
        window = ui::Window::make();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        return root;
    }
    base::Ref<ui::Window> window;
};

}  // namespace

TEST_F(RootViewControllerTest, LoadingPinsTheHostViewAtTopAndTrailingWithoutSizingIt) {
    auto root = RootViewController::make(LiveViewConfiguration::sideBySide);
    auto live = ui::ViewController::make();
    root->setLiveView(live);
    root->viewWillTransitionToSize({834, 1194},
                                   ui::TransitionCoordinator::make({1194, 834}, {834, 1194}));
    EXPECT_FALSE(root->isViewLoaded());  // a layout before loading is ignored
    EXPECT_FALSE(root->hostViewController()->isViewLoaded());

    auto container = root->view();
    auto hostView = root->hostViewController()->view();
    EXPECT_EQ(container->backgroundColor()->hexString(), "#FFFFFF");
    EXPECT_EQ(container->subviews(), std::vector<base::Ref<ui::View>>{hostView});
    EXPECT_FALSE(hostView->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(live->view()->superview(), hostView);

    EXPECT_EQ(activeSizeConstraints(*root), "");
    EXPECT_EQ(root->liveViewHalfWidthConstraint()->multiplier(), 0.5);
    EXPECT_EQ(root->liveViewHalfHeightConstraint()->firstAnchor()->attribute(),
              ui::LayoutAttribute::height);
    const auto& pins = container->constraints();
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0]->firstAnchor()->attribute(), ui::LayoutAttribute::top);
    EXPECT_EQ(pins[1]->firstAnchor()->attribute(), ui::LayoutAttribute::trailing);
    for (const auto& pin : pins) EXPECT_EQ(pin->firstAnchor()->item(), hostView);
}

TEST_F(RootViewControllerTest, TheLiveViewTakesThePlaceTheLayoutTableGives) {
    struct Case {
        LiveViewConfiguration configuration;
        double width, height;
        Direction direction;
        const char* active;
        ui::Rect frame;
    };
    const auto full = LiveViewConfiguration::fullScreen;
    const auto side = LiveViewConfiguration::sideBySide;
    const auto ltr = Direction::leftToRight;
    const auto rtl = Direction::rightToLeft;
    // clang-format off
    const Case cases[] = {
        {full, 1194,  834,  rtl, "fullWidth fullHeight", {0, 0, 1194, 834}},
        {side, 1194,  834,  ltr, "fullHeight halfWidth", {597, 0, 597, 834}},
        {side, 1194,  834,  rtl, "fullHeight halfWidth", {0, 0, 597, 834}},
        {side, 834.5, 1112, ltr, "fullHeight halfWidth", {417.25, 0, 417.25, 1112}},
        {side, 834,   1112, ltr, "fullWidth halfHeight", {0, 0, 834, 556}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.active) + " at " + std::to_string(c.width));
        setScreenSize(c.width, c.height);
        ui::Application::shared()->setUserInterfaceLayoutDirection(c.direction);
        auto live = ui::ViewController::make();
        auto root = show(c.configuration, live);
        EXPECT_EQ(activeSizeConstraints(*root), c.active);
        EXPECT_EQ(windowFrame(root->hostViewController()->view()), c.frame);
        EXPECT_EQ(windowFrame(live->view()), c.frame);
    }
}

TEST_F(RootViewControllerTest, EverySizeTransitionChoosesTheLayoutAgainAtOnce) {
    setScreenSize(1194, 834);
    auto live = declarative::HostingController::make(declarative::Fill(ui::Color::blackColor()));
    auto root = show(LiveViewConfiguration::sideBySide, live);
    const std::pair<ui::Size, ui::Rect> steps[] = {
        {{834, 1194}, {0, 0, 834, 597}},
        {{834.5, 1194}, {417.25, 0, 417.25, 1194}},
        {{834, 1194}, {0, 0, 834, 597}},
        {{1194, 834}, {597, 0, 597, 834}},
    };
    for (const auto& [size, frame] : steps) {
        setScreenSize(size.width, size.height);
        EXPECT_EQ(windowFrame(live->view()), frame) << size.width;
    }
    // Applied during the call, not left to the transition's blocks.
    root->viewWillTransitionToSize({834, 1194},
                                   ui::TransitionCoordinator::make({1194, 834}, {834, 1194}));
    EXPECT_EQ(activeSizeConstraints(*root), "fullWidth halfHeight");
    EXPECT_TRUE(ui::Application::shared()->isStatusBarHidden());
}

TEST_F(RootViewControllerTest, APlainViewIsWrappedAndAViewControllerIsInstalledDirectly) {
    auto root = RootViewController::make(LiveViewConfiguration::fullScreen);
    const auto& host = root->hostViewController();
    auto view = ui::View::make();
    root->setLiveView(view);
    auto wrapper = host->liveView();
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->className(), "stagehand::ViewHostingViewController");
    EXPECT_EQ(wrapper->view(), view);

    auto hosting = declarative::HostingController::make(declarative::Text("hello"));
    root->setLiveView(hosting);
    EXPECT_EQ(host->liveView(), hosting);
    root->setLiveView(std::nullopt);
    EXPECT_EQ(host->liveView(), nullptr);
    EXPECT_EQ(root->hostViewController(), host);
}

TEST_F(RootViewControllerTest, UnsupportedInitialisersAndArchivingStopTheProcess) {
    auto root = RootViewController::make(LiveViewConfiguration::fullScreen);
    EXPECT_DEATH(
        ui::ViewController::create<RootViewController>(LiveViewConfiguration::fullScreen),
        "Stagehand/RootViewController:129: Fatal error: initWithNibName\\(nibName, bundle\\) "
        "is not implemented for class RootViewController");
    ui::Coder coder;
    EXPECT_DEATH(root->initWithCoder(coder), "Stagehand/RootViewController:133: Fatal error\n");
    EXPECT_DEATH(root->encodeWithCoder(coder), "Stagehand/RootViewController:137: Fatal error\n");

    root->setLiveView(ui::View::make());
    auto wrapper = root->hostViewController()->liveView();
    EXPECT_DEATH(wrapper->initWithNibName(std::nullopt, nullptr),
                 "Stagehand/RootViewController:152: Fatal error: .* ViewHostingViewController");
    EXPECT_DEATH(wrapper->initWithCoder(coder), "Stagehand/RootViewController:156: Fatal error\n");
    EXPECT_DEATH(wrapper->encodeWithCoder(coder),
                 "Stagehand/RootViewController:160: Fatal error\n");
}
