#include <gtest/gtest.h>

#include "Stagehand/SGHHostViewController.h"
#include "Stagehand/SGHostingView.h"
#include "StagehandTestSupport.h"
#include "base/Exception.h"
#include "base/Runtime.h"

using namespace stagehandtest;
using Calls = std::vector<std::string>;
using Attribute = ui::LayoutAttribute;

namespace {

class HostViewControllerTest : public ::testing::Test {
protected:
    base::Ref<RecordingController> live(const std::string& name) {
        return recordingController(name, calls);
    }

    // Checks that `live` is installed in `host`: its only child, its view
    // the hosting view's only subview, held to the four edges so that it
    // fills whatever size the hosting view has.
    static void expectInstalled(const base::Ref<SGHHostViewController>& host,
                                const base::Ref<ui::ViewController>& live) {
        auto container = host->view();
        EXPECT_EQ(host->childViewControllers(), std::vector<base::Ref<ui::ViewController>>{live});
        EXPECT_EQ(live->parentViewController(), host);
        EXPECT_EQ(container->subviews(), std::vector<base::Ref<ui::View>>{live->view()});
        EXPECT_FALSE(live->view()->translatesAutoresizingMaskIntoConstraints());

        const auto& constraints = container->constraints();
        ASSERT_EQ(constraints.size(), 4u);
        const Attribute order[] = {Attribute::top, Attribute::bottom, Attribute::leading,
                                   Attribute::trailing};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(constraints[i]->firstAnchor()->attribute(), order[i]);
            EXPECT_EQ(constraints[i]->firstAnchor()->item(), container);
            EXPECT_EQ(constraints[i]->secondAnchor()->attribute(), order[i]);
            EXPECT_EQ(constraints[i]->secondAnchor()->item(), live->view());
        }

        container->setFrame({0, 0, 320, 200});
        container->layoutIfNeeded();
        EXPECT_EQ(live->view()->frame(), (ui::Rect{0, 0, 320, 200}));
        container->setFrame({0, 0, 500, 90});
        container->layoutIfNeeded();
        EXPECT_EQ(live->view()->frame(), (ui::Rect{0, 0, 500, 90}));
    }

    CallLog calls = makeCallLog();
};

// Counts the calls that reach the overridable steps.
class CountingHost : public SGHHostViewController {
public:
    void init() override {
        ++inits;
        SGHHostViewController::init();
    }
    void setUpLiveView() override {
        ++setUps;
        SGHHostViewController::setUpLiveView();
    }
    int inits = 0;
    int setUps = 0;
};

// Shows a stand-in instead of whatever live view is stored.
class SubstitutingHost : public SGHHostViewController {
public:
    base::Ref<ui::ViewController> liveView() const override {
        return SGHHostViewController::liveView() ? standIn : nullptr;
    }
    base::Ref<ui::ViewController> standIn = ui::ViewController::make();
};

}  // namespace

TEST_F(HostViewControllerTest, ALiveViewSetBeforeLoadingIsInstalledWhenTheViewLoads) {
    auto host = SGHHostViewController::make();
    auto a = live("a");
    host->setLiveView(a);
    EXPECT_EQ(host->liveView(), a);
    EXPECT_FALSE(host->isViewLoaded());
    EXPECT_TRUE(host->childViewControllers().empty());
    EXPECT_EQ(a->parentViewController(), nullptr);
    EXPECT_FALSE(a->isViewLoaded());
    EXPECT_TRUE(calls->empty());

    auto view = host->view();
    EXPECT_NE(std::dynamic_pointer_cast<SGHostingView>(view), nullptr);
    EXPECT_EQ(*calls, (Calls{"a.willMove(parent) [no parent, no superview]",
                             "a.didMove(parent) [child, in view]"}));
    expectInstalled(host, a);
}

TEST_F(HostViewControllerTest, WithoutALiveViewTheHostingViewStaysEmpty) {
    auto host = SGHHostViewController::make();
    host->setLiveView(nullptr);
    EXPECT_TRUE(host->view()->subviews().empty());
    EXPECT_TRUE(host->view()->constraints().empty());
    EXPECT_TRUE(host->childViewControllers().empty());
}

TEST_F(HostViewControllerTest, SettingTheSameControllerAgainChangesNothing) {
    auto host = ui::ViewController::create<CountingHost>();
    auto a = live("a");
    host->setLiveView(a);
    host->setLiveView(a);  // before loading
    host->loadViewIfNeeded();
    EXPECT_EQ(host->setUps, 1);
    calls->clear();

    host->setLiveView(a);  // loaded
    EXPECT_TRUE(calls->empty());
    EXPECT_EQ(host->setUps, 1);
    expectInstalled(host, a);
}

TEST_F(HostViewControllerTest, ReplacingDetachesTheOldLiveViewInOrderThenAttachesTheNew) {
    auto host = SGHHostViewController::make();
    auto a = live("a");
    auto b = live("b");
    host->setLiveView(a);
    host->loadViewIfNeeded();
    auto oldView = a->view();
    calls->clear();

    host->setLiveView(b);
    EXPECT_EQ(host->liveView(), b);
    EXPECT_EQ(*calls, (Calls{
                          // will-move while still attached, then the view goes,
                          // then the controller leaves its parent
                          "a.willMove(none) [child, in view]",
                          "a.didMove(none) [no parent, no superview]",
                          "b.willMove(parent) [no parent, no superview]",
                          "b.didMove(parent) [child, in view]",
                      }));
    EXPECT_EQ(oldView->superview(), nullptr);
    EXPECT_TRUE(oldView->constraints().empty());
    // The old view's edge constraints left with it: only the new four remain.
    expectInstalled(host, b);
}

TEST_F(HostViewControllerTest, ClearingDetachesTheLiveViewAndLeavesTheHostingViewEmpty) {
    auto host = SGHHostViewController::make();
    auto a = live("a");
    host->setLiveView(a);
    auto container = host->view();
    calls->clear();

    host->setLiveView(nullptr);
    EXPECT_EQ(host->liveView(), nullptr);
    EXPECT_EQ(*calls, (Calls{"a.willMove(none) [child, in view]",
                             "a.didMove(none) [no parent, no superview]"}));
    EXPECT_TRUE(container->subviews().empty());
    EXPECT_TRUE(container->constraints().empty());
    EXPECT_TRUE(host->childViewControllers().empty());
    EXPECT_EQ(host->view(), container);
}

TEST_F(HostViewControllerTest, ALiveViewTakenFromAnotherParentMovesToTheHost) {
    auto other = ui::ViewController::make();
    auto a = live("a");
    other->addChildViewController(a);
    other->view()->addSubview(a->view());

    auto host = SGHHostViewController::make();
    host->setLiveView(a);
    host->loadViewIfNeeded();
    EXPECT_TRUE(other->childViewControllers().empty());
    EXPECT_TRUE(other->view()->subviews().empty());
    expectInstalled(host, a);
}

TEST_F(HostViewControllerTest, SubclassOverridesOfTheGetterAndTheSetUpStepAreFollowed) {
    auto counting = ui::ViewController::create<CountingHost>();
    counting->setLiveView(ui::ViewController::make());
    counting->loadViewIfNeeded();  // through loadView
    EXPECT_EQ(counting->setUps, 1);
    counting->setLiveView(ui::ViewController::make());  // through setLiveView
    EXPECT_EQ(counting->setUps, 2);
    counting->setLiveView(nullptr);
    EXPECT_EQ(counting->setUps, 2);

    auto substituting = ui::ViewController::create<SubstitutingHost>();
    auto stored = ui::ViewController::make();
    substituting->setLiveView(stored);
    substituting->loadViewIfNeeded();
    expectInstalled(substituting, substituting->standIn);
    EXPECT_FALSE(stored->isViewLoaded());
    // The setter compares what it stored, not what the getter answers.
    substituting->setLiveView(stored);
    expectInstalled(substituting, substituting->standIn);
}

TEST_F(HostViewControllerTest, EveryInitialiserButTheArchiveOneMakesThePlainController) {
    auto plain = SGHHostViewController::make();
    auto fromNib = ui::ViewController::makeWithNibName<SGHHostViewController>(
        "Main", ui::Bundle::make("/somewhere"));
    for (const auto& host : {plain, fromNib}) {
        EXPECT_EQ(host->nibName(), std::nullopt);
        EXPECT_EQ(host->nibBundle(), nullptr);
        EXPECT_EQ(host->liveView(), nullptr);
        EXPECT_NE(std::dynamic_pointer_cast<SGHostingView>(host->view()), nullptr);
    }
    // The nib initialiser goes through init, so a subclass's init runs.
    auto counting = ui::ViewController::makeWithNibName<CountingHost>("Main", nullptr);
    EXPECT_EQ(counting->inits, 1);
    EXPECT_EQ(counting->nibName(), std::nullopt);

    const base::Class* runtimeClass = base::Runtime::shared().lookUpClass("SGHHostViewController");
    ASSERT_NE(runtimeClass, nullptr);
    auto made = base::cast<SGHHostViewController>(runtimeClass->send("new"));
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(made->isViewLoaded());
    EXPECT_NE(made, runtimeClass->send("new"));
}

TEST_F(HostViewControllerTest, CreationFromAnArchiveRaisesInvalidArgument) {
    ui::Coder coder;
    try {
        ui::ViewController::makeWithCoder<SGHHostViewController>(coder);
        FAIL() << "an archive made a controller";
    } catch (const base::InvalidArgumentException& exception) {
        EXPECT_EQ(exception.name(), "InvalidArgumentException");
        EXPECT_EQ(exception.reason(), "SGHHostViewController does not support Archivance");
        EXPECT_EQ(exception.userInfo(), nullptr);
    }
}
