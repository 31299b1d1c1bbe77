#include <gtest/gtest.h>

#include "Corral/Stagehand/SGHHostViewController.h"
#include "Corral/Stagehand/SGHostingView.h"
#include "Corral/base/Exception.h"
#include "Corral/base/Runtime.h"
#include "StagehandTestSupport.h"

using namespace stagehandtest;
using Calls = std::vector<std::string>;

namespace {

class HostViewControllerTest : public ::testing::Test {
protected:
    base::Ref<RecordingController> live(const std::string& name) {
        return ui::ViewController::create<RecordingController>(name, calls);
    }

    // `live` is the host's only child, its view the hosting view's only
    // subview, held to the four edges (top, bottom, leading, trailing).
    static void expectInstalled(const base::Ref<SGHHostViewController>& host,
                                const base::Ref<ui::ViewController>& live) {
        auto container = host->view();
        EXPECT_EQ(host->childViewControllers(), std::vector<base::Ref<ui::ViewController>>{live});
        EXPECT_EQ(container->subviews(), std::vector<base::Ref<ui::View>>{live->view()});
        const auto& constraints = container->constraints();
        ASSERT_EQ(constraints.size(), 4u);
        const ui::LayoutAttribute edges[] = {ui::LayoutAttribute::top, ui::LayoutAttribute::bottom,
                                             ui::LayoutAttribute::leading,
                                             ui::LayoutAttribute::trailing};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(constraints[i]->firstAnchor()->attribute(), edges[i]);
            EXPECT_EQ(constraints[i]->firstAnchor()->item(), container);
            EXPECT_EQ(constraints[i]->secondAnchor()->item(), live->view());
        }
        container->setFrame({0, 0, 320, 200});
        container->layoutIfNeeded();
        EXPECT_EQ(live->view()->frame(), (ui::Rect{0, 0, 320, 200}));
    }

    CallLog calls = std::make_shared<Calls>();
};

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

TEST_F(HostViewControllerTest, ALiveViewSetBeforeLoadingIsInstalledOnceWhenTheViewLoads) {
    auto host = ui::ViewController::create<CountingHost>();
    auto a = live("a");
    host->setLiveView(a);
    host->setLiveView(a);
    EXPECT_TRUE(host->childViewControllers().empty());
    EXPECT_FALSE(a->isViewLoaded());
    EXPECT_TRUE(calls->empty());

    EXPECT_NE(std::dynamic_pointer_cast<SGHostingView>(host->view()), nullptr);
    EXPECT_EQ(*calls, (Calls{"a.willMove(parent)", "a.didMove(parent) child in-view"}));
    EXPECT_FALSE(a->view()->translatesAutoresizingMaskIntoConstraints());
    expectInstalled(host, a);

    // The same controller again: no detach, no second set of constraints.
    host->setLiveView(a);
    EXPECT_EQ(calls->size(), 2u);
    EXPECT_EQ(host->setUps, 1);
    expectInstalled(host, a);
}

TEST_F(HostViewControllerTest, ReplacingOrClearingDetachesTheOldLiveViewFirstInOrder) {
    auto host = SGHHostViewController::make();
    auto a = live("a");
    host->setLiveView(a);
    host->loadViewIfNeeded();
    calls->clear();

    auto b = live("b");
    host->setLiveView(b);
    // Will-move while still attached; the view goes before the controller leaves.
    EXPECT_EQ(*calls, (Calls{"a.willMove(none) child in-view", "a.didMove(none)",
                             "b.willMove(parent)", "b.didMove(parent) child in-view"}));
    EXPECT_TRUE(a->view()->constraints().empty());
    expectInstalled(host, b);  // only the new four constraints remain

    calls->clear();
    host->setLiveView(nullptr);
    EXPECT_EQ(*calls, (Calls{"b.willMove(none) child in-view", "b.didMove(none)"}));
    EXPECT_TRUE(host->view()->subviews().empty());
    EXPECT_TRUE(host->view()->constraints().empty());
    EXPECT_TRUE(host->childViewControllers().empty());
}

TEST_F(HostViewControllerTest, SubclassOverridesOfTheGetterAndTheSetUpStepAreFollowed) {
    auto counting = ui::ViewController::create<CountingHost>();
    counting->setLiveView(ui::ViewController::make());
    counting->loadViewIfNeeded();
    counting->setLiveView(ui::ViewController::make());
    counting->setLiveView(nullptr);
    EXPECT_EQ(counting->setUps, 2);  // from loadView and from the setter

    auto substituting = ui::ViewController::create<SubstitutingHost>();
    auto stored = ui::ViewController::make();
    substituting->setLiveView(stored);
    substituting->loadViewIfNeeded();
    expectInstalled(substituting, substituting->standIn);
    // The setter compares what it stored, not what the getter answers.
    substituting->setLiveView(stored);
    expectInstalled(substituting, substituting->standIn);
    EXPECT_FALSE(stored->isViewLoaded());
}

TEST_F(HostViewControllerTest, TheNibInitialiserIsThePlainOneAndArchivesAreRefused) {
    auto fromNib =
        ui::ViewController::makeWithNibName<CountingHost>("Main", ui::Bundle::make("/x"));
    EXPECT_EQ(fromNib->inits, 1);
    EXPECT_EQ(fromNib->nibName(), std::nullopt);
    EXPECT_EQ(fromNib->nibBundle(), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<SGHostingView>(fromNib->view()), nullptr);

    ui::Coder coder;
    try {
        ui::ViewController::makeWithCoder<SGHHostViewController>(coder);
        ADD_FAILURE() << "an archive made a controller";
    } catch (const base::InvalidArgumentException& exception) {
        EXPECT_EQ(exception.reason(), "SGHHostViewController does not support Archivance");
        EXPECT_EQ(exception.userInfo(), nullptr);
    }

    const base::Class* runtimeClass = base::Runtime::shared().lookUpClass("SGHHostViewController");
    ASSERT_NE(runtimeClass, nullptr);
    auto made = base::cast<SGHHostViewController>(runtimeClass->send("new"));
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(made->isViewLoaded());
}
