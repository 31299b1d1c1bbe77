#include "UITestSupport.h"

#include "Corral/base/String.h"

using namespace ui;
using uitest::RecordingController;
using Calls = std::vector<std::string>;

namespace {

class ViewControllerTest : public uitest::UITest {
protected:
    base::Ref<RecordingController> controller(const std::string& name) {
        return ViewController::create<RecordingController>(name, calls);
    }
    uitest::CallLog calls = uitest::makeCallLog();
};

// Refuses two of the initialisers and maps the nib initialiser onto the
// plain one, as a host controller that only supports init does.
class PlainOnlyController : public ViewController {
public:
    void init() override { ViewController::initWithNibName(std::nullopt, nullptr); }
    void initWithNibName(std::optional<std::string>, base::Ref<Bundle>) override { init(); }
    void initWithCoder(Coder&) override {
        base::raiseInvalidArgument("archives are not supported");
    }
};

}  // namespace

TEST_F(ViewControllerTest, TheViewLoadsOnceOnFirstUse) {
    auto c = controller("c");
    EXPECT_FALSE(c->isViewLoaded());
    EXPECT_EQ(c->viewIfLoaded(), nullptr);
    auto view = c->view();
    EXPECT_TRUE(c->isViewLoaded());
    EXPECT_EQ(c->view(), view);
    EXPECT_EQ(*calls, (Calls{"c.loadView", "c.viewDidLoad"}));
    EXPECT_EQ(view->frame(), Screen::mainScreen()->bounds());
    EXPECT_EQ(view->nextResponder(), c);

    auto replacement = View::make();
    c->setView(replacement);
    EXPECT_EQ(c->view(), replacement);
    EXPECT_EQ(view->nextResponder(), nullptr);
    c->setView(nullptr);
    EXPECT_FALSE(c->isViewLoaded());
    c->loadViewIfNeeded();
    EXPECT_EQ(calls->size(), 4u);  // loaded again
}

TEST_F(ViewControllerTest, ALoadViewThatSetsNoViewIsFatal) {
    struct Empty : ViewController {
        void loadView() override {}
    };
    auto c = ViewController::create<Empty>();
    EXPECT_DEATH(c->view(),
                 "ui/ViewController:[0-9]+: Fatal error: loadView\\(\\) must set a view");
}

TEST_F(ViewControllerTest, ContainmentSendsTheMoveCallsAroundTheChange) {
    auto parent = controller("parent");
    auto child = controller("child");
    struct Probe : RecordingController {
        using RecordingController::RecordingController;
        void willMoveToParentViewController(const base::Ref<ViewController>& p) override {
            RecordingController::willMoveToParentViewController(p);
            parentDuringWillMove = parentViewController();
        }
        base::Ref<ViewController> parentDuringWillMove;
    };
    auto probe = ViewController::create<Probe>("probe", calls);

    parent->addChildViewController(child);
    parent->addChildViewController(probe);
    parent->addChildViewController(child);  // already there: nothing happens
    EXPECT_EQ(parent->childViewControllers(),
              (std::vector<base::Ref<ViewController>>{child, probe}));
    EXPECT_EQ(child->parentViewController(), parent);
    EXPECT_EQ(probe->parentDuringWillMove, nullptr);

    probe->removeFromParentViewController();
    probe->removeFromParentViewController();  // no parent: nothing happens
    EXPECT_EQ(probe->parentViewController(), nullptr);
    EXPECT_EQ(*calls, (Calls{"child.willMoveTo(parent)", "probe.willMoveTo(parent)",
                             "probe.didMoveTo(none)"}));

    // Moving to another parent leaves the first one.
    auto other = controller("other");
    calls->clear();
    other->addChildViewController(child);
    EXPECT_TRUE(std::find(parent->childViewControllers().begin(),
                          parent->childViewControllers().end(),
                          child) == parent->childViewControllers().end());
    EXPECT_EQ(*calls, (Calls{"child.didMoveTo(none)", "child.willMoveTo(parent)"}));

    EXPECT_THROW(child->addChildViewController(other), base::InvalidArgumentException);
    EXPECT_THROW(child->addChildViewController(child), base::InvalidArgumentException);
    EXPECT_EQ(child->parentViewController(), other);
}

TEST_F(ViewControllerTest, AppearanceCallsFollowTheViewIntoAndOutOfAVisibleWindow) {
    auto window = Window::make();
    auto root = controller("root");
    auto child = controller("child");
    window->setRootViewController(root);
    EXPECT_FALSE(root->isViewLoaded());  // waits for the window to be shown

    root->addChildViewController(child);
    root->view()->addSubview(child->view());
    child->didMoveToParentViewController(root);
    calls->clear();

    struct Sizing : View {
        explicit Sizing(uitest::CallLog log) : log(std::move(log)) {}
        void layoutSubviews() override { log->push_back("layout"); }
        uitest::CallLog log;
    };
    child->view()->addSubview(std::make_shared<Sizing>(calls));
    window->makeKeyAndVisible();
    EXPECT_EQ(*calls, (Calls{"root.viewWillAppear", "child.viewWillAppear", "layout",
                             "root.viewDidAppear", "child.viewDidAppear"}));

    calls->clear();
    child->view()->removeFromSuperview();
    EXPECT_EQ(*calls, (Calls{"child.viewWillDisappear", "child.viewDidDisappear"}));
    root->view()->addSubview(child->view());
    window->setHidden(true);
    window->setHidden(true);
    EXPECT_EQ(*calls,
              (Calls{"child.viewWillDisappear", "child.viewDidDisappear", "child.viewWillAppear",
                     "child.viewDidAppear", "root.viewWillDisappear", "child.viewWillDisappear",
                     "root.viewDidDisappear", "child.viewDidDisappear"}));

    // Replacing the root of a visible window swaps the appearance.
    window->makeKeyAndVisible();
    auto next = controller("next");
    calls->clear();
    window->setRootViewController(next);
    EXPECT_EQ(*calls, (Calls{"root.viewWillDisappear", "child.viewWillDisappear",
                             "root.viewDidDisappear", "child.viewDidDisappear", "next.loadView",
                             "next.viewDidLoad", "next.viewWillAppear", "next.viewDidAppear"}));
    EXPECT_EQ(next->view()->superview(), window);
    EXPECT_EQ(root->view()->superview(), nullptr);
}

TEST_F(ViewControllerTest, SubclassesChooseHowEachInitialiserBehaves) {
    auto plain = ViewController::make();
    EXPECT_FALSE(plain->nibName().has_value());

    auto named = ViewController::makeWithNibName("Main", Bundle::make("/opt/app"));
    EXPECT_EQ(named->nibName(), "Main");
    EXPECT_EQ(named->nibBundle()->path(), "/opt/app");
    EXPECT_THROW(named->view(), base::InvalidArgumentException);  // no nib loader
    EXPECT_FALSE(named->isViewLoaded());

    auto mapped =
        ViewController::makeWithNibName<PlainOnlyController>("Main", Bundle::mainBundle());
    EXPECT_FALSE(mapped->nibName().has_value());
    EXPECT_EQ(mapped->nibBundle(), nullptr);

    Coder coder;
    EXPECT_THROW(ViewController::makeWithCoder<PlainOnlyController>(coder),
                 base::InvalidArgumentException);
}

TEST_F(ViewControllerTest, ArchivingRoundTripsAndRejectsWrongKinds) {
    auto original = ViewController::makeWithNibName("Panel", Bundle::make("/srv/ui"));
    original->setTitle("Settings");
    Coder out;
    original->encodeWithCoder(out);
    Coder in(out.archive());
    auto copy = ViewController::makeWithCoder(in);
    EXPECT_EQ(copy->nibName(), "Panel");
    EXPECT_EQ(copy->nibBundle()->path(), "/srv/ui");
    EXPECT_EQ(copy->title(), "Settings");

    Coder wrong(base::Dictionary::withStringKeys({{"title", base::Dictionary::make()}}));
    EXPECT_THROW(ViewController::makeWithCoder(wrong), base::InvalidArgumentException);
}

TEST_F(ViewControllerTest, SizeTransitionsReachEveryChild) {
    auto parent = controller("parent");
    auto first = controller("first");
    auto second = controller("second");
    parent->addChildViewController(first);
    first->addChildViewController(second);
    calls->clear();
    parent->viewWillTransitionToSize({300, 200}, TransitionCoordinator::make({1, 1}, {300, 200}));
    EXPECT_EQ(*calls, (Calls{"parent.transition(300x200)", "first.transition(300x200)",
                             "second.transition(300x200)"}));
}
