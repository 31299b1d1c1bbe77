#include "UITestSupport.h"

using namespace ui;
using uitest::RecordingController;
using Calls = std::vector<std::string>;

namespace {

class WindowTest : public uitest::UITest {
protected:
    uitest::CallLog calls = uitest::makeCallLog();
};

// A live-view arrangement: a panel pinned to the top-trailing corner that
// takes the trailing half when the width is above 600, else the top half.
// It chooses again on appearance and on every size transition.
class SplitController : public RecordingController {
public:
    using RecordingController::RecordingController;

    void loadView() override {
        auto root = View::make();
        root->setBackgroundColor(Color::whiteColor());
        panel = View::make();
        panel->setTranslatesAutoresizingMaskIntoConstraints(false);
        root->addSubview(panel);
        fullWidth = panel->widthAnchor()->constraintEqualToAnchor(root->widthAnchor());
        fullHeight = panel->heightAnchor()->constraintEqualToAnchor(root->heightAnchor());
        halfWidth =
            panel->widthAnchor()->constraintEqualToAnchor(root->widthAnchor(), Multiplier(0.5));
        halfHeight =
            panel->heightAnchor()->constraintEqualToAnchor(root->heightAnchor(), Multiplier(0.5));
        LayoutConstraint::activateConstraints(
            {panel->topAnchor()->constraintEqualToAnchor(root->topAnchor()),
             panel->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor())});
        setView(root);
    }
    void viewDidAppear(bool animated) override {
        RecordingController::viewDidAppear(animated);
        choose(view()->frame().size.width);
    }
    void viewWillTransitionToSize(Size size,
                                  const base::Ref<TransitionCoordinator>& coordinator) override {
        RecordingController::viewWillTransitionToSize(size, coordinator);
        record("panel width at transition " +
               std::to_string(static_cast<int>(panel->frame().width())));
        choose(size.width);
        coordinator->animateAlongsideTransition(
            [this](const TransitionCoordinator&) {
                record("alongside, window width " +
                       std::to_string(static_cast<int>(view()->window()->frame().width())));
            },
            [this](const TransitionCoordinator&) {
                record("completed, panel width " +
                       std::to_string(static_cast<int>(panel->frame().width())));
            });
    }
    bool prefersStatusBarHidden() const override { return true; }

    base::Ref<View> panel;
    base::Ref<LayoutConstraint> fullWidth, fullHeight, halfWidth, halfHeight;

private:
    void choose(double width) {
        LayoutConstraint::deactivateConstraints({fullWidth, fullHeight, halfWidth, halfHeight});
        if (width > 600) {
            LayoutConstraint::activateConstraints({halfWidth, fullHeight});
        } else {
            LayoutConstraint::activateConstraints({fullWidth, halfHeight});
        }
    }
};

struct Caption : View {
    std::string debugAttributes() const override { return "text=\"<hi>\""; }
};

}  // namespace

TEST_F(WindowTest, APlainWindowCoversTheScreenAndShowsItsRootWhenMadeVisible) {
    Screen::mainScreen()->setBounds({0, 0, 1000, 700});
    auto window = Window::make();
    EXPECT_EQ(window->frame(), (Rect{0, 0, 1000, 700}));
    EXPECT_TRUE(window->isHidden());
    auto split = ViewController::create<SplitController>("split", calls);
    window->setRootViewController(split);
    window->setTintColor(Color::colorWithRed(1, 0, 0));
    EXPECT_FALSE(split->isViewLoaded());
    EXPECT_FALSE(Application::shared()->isStatusBarHidden());

    window->makeKeyAndVisible();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(Application::shared()->keyWindow(), window);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(split->view()->superview(), window);
    EXPECT_EQ(split->view()->frame(), (Rect{0, 0, 1000, 700}));
    EXPECT_FALSE(window->needsLayout());
    // Laid out again after viewDidAppear chose the trailing half.
    EXPECT_EQ(split->panel->frame(), (Rect{500, 0, 500, 700}));
    EXPECT_TRUE(Application::shared()->isStatusBarHidden());
    EXPECT_EQ(split->panel->tintColor()->red(), 1);

    auto second = Window::make();
    second->makeKeyWindow();
    EXPECT_FALSE(window->isKeyWindow());
}

TEST_F(WindowTest, ScreenChangesTellTheRootControllerAndLayTheWindowOutAgain) {
    auto window = Window::make();
    auto split = ViewController::create<SplitController>("split", calls);
    window->setRootViewController(split);
    window->makeKeyAndVisible();
    ASSERT_EQ(split->panel->frame(), (Rect{512, 0, 512, 768}));
    auto small = Window::make({10, 10, 100, 100});  // does not cover the screen

    calls->clear();
    Screen::mainScreen()->setBounds({0, 0, 600, 900});
    EXPECT_EQ(*calls,
              (Calls{"split.transition(600x900)", "split.panel width at transition 512",
                     "split.alongside, window width 600", "split.completed, panel width 600"}));
    EXPECT_EQ(window->frame(), (Rect{0, 0, 600, 900}));
    EXPECT_EQ(split->view()->frame(), (Rect{0, 0, 600, 900}));
    EXPECT_EQ(split->panel->frame(), (Rect{0, 0, 600, 450}));
    EXPECT_EQ(small->frame(), (Rect{10, 10, 100, 100}));

    Screen::mainScreen()->setBounds({0, 0, 601, 900});
    EXPECT_EQ(split->panel->frame(), (Rect{300.5, 0, 300.5, 900}));
    Application::shared()->setUserInterfaceLayoutDirection(
        UserInterfaceLayoutDirection::rightToLeft);
    window->layoutIfNeeded();
    EXPECT_EQ(split->panel->frame(), (Rect{0, 0, 300.5, 900}));
}

TEST_F(WindowTest, TheTreeDumpShowsClassWindowFrameColourAndNesting) {
    auto window = Window::make({0, 0, 200, 100});
    auto panel = View::make({10, 10, 100, 50});
    panel->setBounds({0, 5, 100, 50});
    panel->setBackgroundColor(Color::colorWithRed(1, 0.5, 0, 1));
    auto caption = std::make_shared<Caption>();
    caption->setFrame({2, 10, 20, 10});
    auto hidden = View::make({0, 0, 1, 1});
    hidden->setHidden(true);
    window->addSubview(panel);
    panel->addSubview(caption);
    window->addSubview(hidden);

    EXPECT_EQ(dumpViewTree(*window),
              "ui::Window (0, 0, 200, 100) hidden\n"
              "  ui::View (10, 10, 100, 50) background rgba(1, 0.5, 0, 1)\n"
              "    (anonymous namespace)::Caption (12, 15, 20, 10) text=\"<hi>\"\n"
              "  ui::View (0, 0, 1, 1) hidden\n");

    window->setHidden(false);
    std::string svg = svgForViewTree(*window);
    EXPECT_EQ(
        svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\"", 0), 0u);
    EXPECT_NE(svg.find("<rect x=\"10\" y=\"10\" width=\"100\" height=\"50\" fill=\"#FF8000\""),
              std::string::npos);
    EXPECT_NE(svg.find("text=&quot;&lt;hi&gt;&quot;"), std::string::npos);
    EXPECT_EQ(svg.find("width=\"1\" height=\"1\""), std::string::npos);  // hidden: not drawn
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}
