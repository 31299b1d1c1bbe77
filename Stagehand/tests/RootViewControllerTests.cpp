#include <gtest/gtest.h>

#include "RootViewController.h"
#include "StagehandTestSupport.h"
#include "declarative/Declarative.h"
#include "ui/Coder.h"

using namespace stagehandtest;
using stagehand::LiveViewConfiguration;
using stagehand::RootViewController;
using Direction = ui::UserInterfaceLayoutDirection;

namespace {

// The names of the active size constraints of the host view.
std::string activeSizeConstraints(const RootViewController& root) {
    std::string names;
    auto add = [&names](const base::Ref<ui::LayoutConstraint>& constraint, const char* name) {
        if (constraint && constraint->isActive())
            names += names.empty() ? name : std::string(" ") + name;
    };
    add(root.liveViewFullWidthConstraint(), "fullWidth");
    add(root.liveViewFullHeightConstraint(), "fullHeight");
    add(root.liveViewHalfWidthConstraint(), "halfWidth");
    add(root.liveViewHalfHeightConstraint(), "halfHeight");
    return names;
}

class RootViewControllerTest : public ScreenTest {
protected:
    // A visible key window whose root view controller shows `liveView`.
    base::Ref<RootViewController> show(LiveViewConfiguration configuration,
                                       std::optional<PaddockLiveViewable> liveView) {
        auto root = RootViewController::make(configuration);
        root->setLiveView(std::move(liveView));
        window = ui::Window::make();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        return root;
    }
    static base::Ref<ui::View> hostView(RootViewController& root) {
        return root.hostViewController()->view();
    }

    base::Ref<ui::Window> window;
};

}  // namespace

TEST_F(RootViewControllerTest, LoadingPinsTheHostViewAtTopAndTrailingWithoutSizingIt) {
    auto root = RootViewController::make(LiveViewConfiguration::sideBySide);
    auto live = ui::ViewController::make();
    root->setLiveView(live);
    EXPECT_FALSE(root->hostViewController()->isViewLoaded());  // only stored so far
    EXPECT_EQ(root->liveViewFullWidthConstraint(), nullptr);

    auto container = root->view();
    const auto& host = root->hostViewController();
    auto hostView = host->view();
    EXPECT_EQ(container->backgroundColor()->hexString(), "#FFFFFF");
    EXPECT_EQ(container->subviews(), std::vector<base::Ref<ui::View>>{hostView});
    EXPECT_FALSE(hostView->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(root->childViewControllers(), std::vector<base::Ref<ui::ViewController>>{host});
    EXPECT_EQ(host->childViewControllers(), std::vector<base::Ref<ui::ViewController>>{live});
    EXPECT_EQ(live->view()->superview(), hostView);

    // Created, not active: the host view is not sized before it appears.
    struct Expected {
        base::Ref<ui::LayoutConstraint> constraint;
        ui::LayoutAttribute attribute;
        double multiplier;
    };
    for (const auto& [constraint, attribute, multiplier] :
         {Expected{root->liveViewFullWidthConstraint(), ui::LayoutAttribute::width, 1},
          Expected{root->liveViewFullHeightConstraint(), ui::LayoutAttribute::height, 1},
          Expected{root->liveViewHalfWidthConstraint(), ui::LayoutAttribute::width, 0.5},
          Expected{root->liveViewHalfHeightConstraint(), ui::LayoutAttribute::height, 0.5}}) {
        ASSERT_NE(constraint, nullptr);
        EXPECT_FALSE(constraint->isActive());
        EXPECT_EQ(constraint->firstAnchor()->item(), hostView);
        EXPECT_EQ(constraint->firstAnchor()->attribute(), attribute);
        EXPECT_EQ(constraint->secondAnchor()->item(), container);
        EXPECT_EQ(constraint->secondAnchor()->attribute(), attribute);
        EXPECT_EQ(constraint->multiplier(), multiplier);
        EXPECT_EQ(constraint->constant(), 0);
    }
    const auto& pins = container->constraints();
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0]->firstAnchor()->attribute(), ui::LayoutAttribute::top);
    EXPECT_EQ(pins[1]->firstAnchor()->attribute(), ui::LayoutAttribute::trailing);
    for (const auto& pin : pins) {
        EXPECT_EQ(pin->firstAnchor()->item(), hostView);
        EXPECT_EQ(pin->secondAnchor()->item(), container);
        EXPECT_EQ(pin->secondAnchor()->attribute(), pin->firstAnchor()->attribute());
    }
}

TEST_F(RootViewControllerTest, ALayoutRequestedBeforeLoadingIsIgnored) {
    auto root = RootViewController::make(LiveViewConfiguration::sideBySide);
    root->viewWillTransitionToSize({834, 1194},
                                   ui::TransitionCoordinator::make({1194, 834}, {834, 1194}));
    root->viewDidAppear(false);
    EXPECT_FALSE(root->isViewLoaded());
    EXPECT_EQ(root->liveViewHalfHeightConstraint(), nullptr);
}

struct LayoutCase {
    const char* name;
    LiveViewConfiguration configuration;
    ui::Size screen;
    Direction direction;
    const char* active;
    ui::Rect hostFrame;
};
void PrintTo(const LayoutCase& layoutCase, std::ostream* os) { *os << layoutCase.name; }

class LayoutTableTest : public RootViewControllerTest,
                        public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTableTest, TheLiveViewTakesThePlaceTheTableGives) {
    const auto& c = GetParam();
    setScreenSize(c.screen.width, c.screen.height);
    ui::Application::shared()->setUserInterfaceLayoutDirection(c.direction);
    auto live = ui::ViewController::make();
    auto root = show(c.configuration, live);

    EXPECT_EQ(activeSizeConstraints(*root), c.active);
    EXPECT_EQ(windowFrame(root->view()), (ui::Rect{{0, 0}, c.screen}));
    EXPECT_EQ(windowFrame(hostView(*root)), c.hostFrame);
    EXPECT_EQ(windowFrame(live->view()), c.hostFrame);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTableTest,
                         ::testing::Values(LayoutCase{"fullScreenLandscape",
                                                      LiveViewConfiguration::fullScreen,
                                                      {1194, 834},
                                                      Direction::leftToRight,
                                                      "fullWidth fullHeight",
                                                      {0, 0, 1194, 834}},
                                           LayoutCase{"fullScreenPortraitRightToLeft",
                                                      LiveViewConfiguration::fullScreen,
                                                      {600, 900},
                                                      Direction::rightToLeft,
                                                      "fullWidth fullHeight",
                                                      {0, 0, 600, 900}},
                                           LayoutCase{"sideBySideWide",
                                                      LiveViewConfiguration::sideBySide,
                                                      {1194, 834},
                                                      Direction::leftToRight,
                                                      "fullHeight halfWidth",
                                                      {597, 0, 597, 834}},
                                           LayoutCase{"sideBySideWideRightToLeft",
                                                      LiveViewConfiguration::sideBySide,
                                                      {1194, 834},
                                                      Direction::rightToLeft,
                                                      "fullHeight halfWidth",
                                                      {0, 0, 597, 834}},
                                           LayoutCase{"sideBySideJustWideEnough",
                                                      LiveViewConfiguration::sideBySide,
                                                      {834.5, 1112},
                                                      Direction::leftToRight,
                                                      "fullHeight halfWidth",
                                                      {417.25, 0, 417.25, 1112}},
                                           LayoutCase{"sideBySideAtTheLimit",
                                                      LiveViewConfiguration::sideBySide,
                                                      {834, 1112},
                                                      Direction::leftToRight,
                                                      "fullWidth halfHeight",
                                                      {0, 0, 834, 556}},
                                           LayoutCase{"sideBySideNarrowRightToLeft",
                                                      LiveViewConfiguration::sideBySide,
                                                      {320, 480},
                                                      Direction::rightToLeft,
                                                      "fullWidth halfHeight",
                                                      {0, 0, 320, 240}}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(RootViewControllerTest, EverySizeTransitionChoosesTheLayoutAgain) {
    setScreenSize(1194, 834);
    auto live = declarative::HostingController::make(declarative::Fill(ui::Color::blackColor()));
    auto root = show(LiveViewConfiguration::sideBySide, live);
    auto host = hostView(*root);
    EXPECT_EQ(windowFrame(host), (ui::Rect{597, 0, 597, 834}));

    setScreenSize(834, 1194);
    EXPECT_EQ(windowFrame(host), (ui::Rect{0, 0, 834, 597}));
    EXPECT_EQ(windowFrame(live->view()), (ui::Rect{0, 0, 834, 597}));
    setScreenSize(834.5, 1194);
    EXPECT_EQ(windowFrame(host), (ui::Rect{417.25, 0, 417.25, 1194}));
    setScreenSize(834, 1194);
    EXPECT_EQ(windowFrame(host), (ui::Rect{0, 0, 834, 597}));
    setScreenSize(1194, 834);
    EXPECT_EQ(windowFrame(host), (ui::Rect{597, 0, 597, 834}));
    EXPECT_EQ(windowFrame(live->view()), (ui::Rect{597, 0, 597, 834}));

    // The change is made during the call, not left to the transition's blocks.
    root->viewWillTransitionToSize({834, 1194},
                                   ui::TransitionCoordinator::make({1194, 834}, {834, 1194}));
    EXPECT_EQ(activeSizeConstraints(*root), "fullWidth halfHeight");
}

TEST_F(RootViewControllerTest, AFullScreenLiveViewFillsTheScreenAcrossTransitions) {
    auto live = ui::View::make();
    auto root = show(LiveViewConfiguration::fullScreen, live);
    for (ui::Size size : {ui::Size{1194, 834}, ui::Size{834, 1194}, ui::Size{834.5, 10}}) {
        setScreenSize(size.width, size.height);
        EXPECT_EQ(windowFrame(hostView(*root)), (ui::Rect{{0, 0}, size}));
        EXPECT_EQ(windowFrame(live), (ui::Rect{{0, 0}, size}));
    }
    EXPECT_EQ(activeSizeConstraints(*root), "fullWidth fullHeight");
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
    root->setLiveView(view);  // a new assignment wraps anew
    EXPECT_NE(host->liveView(), wrapper);
    EXPECT_EQ(host->liveView()->view(), view);

    auto controller = ui::ViewController::make();
    root->setLiveView(controller);
    EXPECT_EQ(host->liveView(), controller);
    auto hosting = declarative::HostingController::make(declarative::Text("hello"));
    root->setLiveView(hosting);
    EXPECT_EQ(host->liveView(), hosting);
    ASSERT_TRUE(root->liveView());
    EXPECT_EQ(root->liveView()->object(), hosting);

    root->setLiveView(std::nullopt);
    EXPECT_EQ(host->liveView(), nullptr);
    EXPECT_FALSE(root->liveView());
    EXPECT_EQ(root->hostViewController(), host);  // made once
}

TEST_F(RootViewControllerTest, TheStatusBarIsHiddenWhileTheRootViewControllerIsShown) {
    auto root = show(LiveViewConfiguration::fullScreen, ui::View::make());
    EXPECT_TRUE(root->prefersStatusBarHidden());
    EXPECT_TRUE(ui::Application::shared()->isStatusBarHidden());
}

TEST_F(RootViewControllerTest, UnsupportedInitialisersAndArchivingStopTheProcess) {
    auto root = RootViewController::make(LiveViewConfiguration::fullScreen);
    EXPECT_DEATH(
        ui::ViewController::create<RootViewController>(LiveViewConfiguration::fullScreen),
        "Stagehand/RootViewController:129: Fatal error: initWithNibName\\(nibName, bundle\\) "
        "is not implemented for class RootViewController");
    EXPECT_DEATH(root->initWithNibName("Main", nullptr),
                 "Stagehand/RootViewController:129: Fatal error: ");
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
