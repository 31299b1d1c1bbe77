#include <gtest/gtest.h>

#include <utility>

#include "Corral/PaddockLiveViewSafeArea.h"
#include "Corral/PaddockNotifications.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/Objects.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/ui/UI.h"
#include "TestSupport.h"

namespace {

const char* const kIndefinite = PaddockNotifications::needsIndefiniteExecutionDidChange;
const char* const kLiveView = PaddockNotifications::liveViewDidChange;
const char* const kFullScreen = PaddockNotifications::wantsFullScreenLiveViewDidChange;

// A page's own value type, live-viewable through a member.
struct Dial {
    base::Ref<ui::View> face = ui::View::make(ui::Rect(0, 0, 20, 20));
    PaddockLiveViewRepresentation paddockLiveViewRepresentation() const {
        return PaddockLiveViewRepresentation::view(face);
    }
};

// Starts every test with no live view, no full-screen request and the
// indefinite-execution flag down, then records what the page posts.
class LiveViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        page.setLiveView(std::nullopt);
        page.setNeedsIndefiniteExecution(false);
        page.setWantsFullScreenLiveView(false);
        recorder.emplace();
    }
    void TearDown() override {
        recorder.reset();
        page.setLiveView(std::nullopt);
    }

    // The names of the notifications posted since the last call.
    std::vector<std::string> takeNames() {
        auto names = recorder->names();
        names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(taken_));
        taken_ = recorder->notifications.size();
        return names;
    }
    // The last notification posted.
    const base::Notification& last() const { return recorder->notifications.back(); }

    PaddockPage& page = PaddockPage::current();
    std::optional<NotificationRecorder> recorder;

private:
    std::size_t taken_ = 0;
};

}  // namespace

TEST_F(LiveViewTest, AViewIsAnnouncedAfterTheIndefiniteExecutionFlagIsRaised) {
    auto view = ui::View::make();
    // Observers already see the stored live view, at both posts.
    std::vector<base::ObjectRef> seen;
    base::ScopedObserver watcher(std::nullopt, &page, [&](const base::Notification&) {
        auto live = page.liveView();
        seen.push_back(live ? live->object() : nullptr);
    });

    page.setLiveView(view);
    ASSERT_EQ(takeNames(), (std::vector<std::string>{kIndefinite, kLiveView}));
    EXPECT_EQ(seen, (std::vector<base::ObjectRef>{view, view}));
    EXPECT_TRUE(page.needsIndefiniteExecution());
    EXPECT_EQ(last().object.get(), &page);
    ASSERT_TRUE(last().userInfo);
    EXPECT_EQ(last().userInfo->count(), 1u);
    EXPECT_EQ(last().userInfo->objectForKey(PaddockNotifications::Key::liveView), view);
    EXPECT_EQ(page.liveView()->as<ui::View>(), view);

    // No identity check: the same view again is announced again.
    page.setLiveView(view);
    EXPECT_EQ(takeNames(), (std::vector<std::string>{kIndefinite, kLiveView}));
}

TEST_F(LiveViewTest, ControllersAndPageTypesAreAnnouncedByTheirRepresentation) {
    auto controller = ui::ViewController::make();
    page.setLiveView(controller);
    EXPECT_EQ(takeNames(), (std::vector<std::string>{kIndefinite, kLiveView}));
    EXPECT_EQ(last().userInfo->count(), 1u);
    EXPECT_EQ(last().userInfo->objectForKey(PaddockNotifications::Key::liveViewController),
              controller);

    Dial dial;
    page.setLiveView(dial);
    EXPECT_EQ(last().userInfo->objectForKey(PaddockNotifications::Key::liveView), dial.face);
    ASSERT_NE(page.liveView()->value<Dial>(), nullptr);
    EXPECT_EQ(page.liveView()->value<Dial>()->face, dial.face);
}

TEST_F(LiveViewTest, DeclarativeContentGetsANewHostingControllerEveryTime) {
    const declarative::AnyView content = declarative::Text("Hello");
    page.setLiveView(content);
    page.setLiveView(content);
    ASSERT_EQ(recorder->names(),
              (std::vector<std::string>{kIndefinite, kLiveView, kIndefinite, kLiveView}));
    base::Ref<declarative::HostingController> made[2];
    for (int i : {0, 1}) {
        const auto& info = recorder->notifications[1 + 2 * i].userInfo;
        EXPECT_EQ(info->count(), 1u);
        made[i] = base::cast<declarative::HostingController>(
            info->objectForKey(PaddockNotifications::Key::liveViewController));
        ASSERT_TRUE(made[i]);
        EXPECT_EQ(made[i]->rootView().node(), content.node());
    }
    EXPECT_NE(made[0], made[1]);
    EXPECT_EQ(page.liveView()->object(), made[1]);

    // The page alone owns the controller it made.
    base::WeakRef<declarative::HostingController> current = made[1];
    made[0].reset();
    made[1].reset();
    recorder.reset();  // drops the references the recorded notifications hold
    page.setLiveView(std::nullopt);
    EXPECT_TRUE(current.expired());
}

TEST_F(LiveViewTest, ClearingPostsAnEmptyDictionaryOnlyWhenALiveViewWasInstalled) {
    page.setLiveView(std::nullopt);
    page.modifyLiveView([](std::optional<PaddockLiveViewable>&) {});
    EXPECT_TRUE(takeNames().empty());
    EXPECT_FALSE(page.needsIndefiniteExecution());

    base::WeakRef<ui::View> weak;
    {
        auto view = ui::View::make();
        weak = view;
        page.setLiveView(view);
    }
    takeNames();
    EXPECT_FALSE(weak.expired());  // the page owns its live view

    page.modifyLiveView([&](std::optional<PaddockLiveViewable>& live) {
        EXPECT_EQ(live->object(), weak.lock());  // the change starts from the live view
        live.reset();
    });
    ASSERT_EQ(takeNames(), std::vector<std::string>{kLiveView});
    ASSERT_TRUE(last().userInfo);  // a dictionary, not an absent user info
    EXPECT_EQ(last().userInfo->count(), 0u);
    EXPECT_TRUE(page.needsIndefiniteExecution());  // stays up
    EXPECT_FALSE(page.liveView());
    recorder.reset();  // drops the references the recorded notifications hold
    EXPECT_TRUE(weak.expired());
}

// The view named by the last live-view notification a recorder heard.
base::ObjectRef lastAnnouncedView(const NotificationRecorder& recorder) {
    for (auto it = recorder.notifications.rbegin(); it != recorder.notifications.rend(); ++it) {
        if (it->name == kLiveView)
            return it->userInfo->objectForKey(PaddockNotifications::Key::liveView);
    }
    return nullptr;
}

TEST_F(LiveViewTest, AnAssignmentMadeWhileTheFlagIsAnnouncedIsTheOneAnnouncedLast) {
    auto first = ui::View::make();
    auto second = ui::View::make();
    bool reassigned = false;
    base::ScopedObserver reassigner(kIndefinite, &page, [&](const base::Notification&) {
        if (!std::exchange(reassigned, true)) page.setLiveView(second);
    });
    NotificationRecorder later;  // hears everything after the reassigner
    page.setLiveView(first);
    EXPECT_EQ(page.liveView()->object(), second);
    EXPECT_EQ(lastAnnouncedView(*recorder), second);
    EXPECT_EQ(lastAnnouncedView(later), second);
    // The first view was never announced at all: it was replaced before its turn.
    for (const auto& n : later.notifications) {
        if (n.name != kLiveView) continue;
        EXPECT_EQ(n.userInfo->objectForKey(PaddockNotifications::Key::liveView), second);
    }
}

TEST_F(LiveViewTest, AnAssignmentMadeWhileTheViewIsAnnouncedIsTheOneAnnouncedLast) {
    auto first = ui::View::make();
    auto second = ui::View::make();
    NotificationRecorder before;  // in line before the reassigner
    base::ScopedObserver reassigner(kLiveView, &page, [&](const base::Notification& n) {
        if (n.userInfo->objectForKey(PaddockNotifications::Key::liveView) == first)
            page.setLiveView(second);
    });
    NotificationRecorder after;  // heard of the first view after the second
    page.setLiveView(first);
    EXPECT_EQ(page.liveView()->object(), second);
    EXPECT_EQ(lastAnnouncedView(before), second);
    EXPECT_EQ(lastAnnouncedView(after), second);

    // Clearing from inside the announcement: everyone hears the empty one last.
    base::ScopedObserver clearer(kLiveView, &page, [&](const base::Notification& n) {
        if (n.userInfo->count() == 1 &&
            n.userInfo->objectForKey(PaddockNotifications::Key::liveView) == second)
            page.setLiveView(std::nullopt);
    });
    NotificationRecorder last;
    page.setLiveView(second);
    EXPECT_FALSE(page.liveView());
    ASSERT_FALSE(last.notifications.empty());
    EXPECT_EQ(last.notifications.back().name, kLiveView);
    EXPECT_EQ(last.notifications.back().userInfo->count(), 0u);
    EXPECT_EQ(after.notifications.back().userInfo->count(), 0u);
}

TEST_F(LiveViewTest, FullScreenRequestsPostOnlyChanges) {
    page.setWantsFullScreenLiveView(false);
    EXPECT_TRUE(takeNames().empty());
    page.setWantsFullScreenLiveView(true);
    ASSERT_EQ(takeNames(), std::vector<std::string>{kFullScreen});
    EXPECT_EQ(last().object.get(), &page);
    auto flag = base::cast<base::Number>(
        last().userInfo->objectForKey(PaddockNotifications::Key::wantsFullScreenLiveView));
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->typeCode(), "c");
    EXPECT_TRUE(flag->boolValue());
    EXPECT_TRUE(page.wantsFullScreenLiveView());

    page.modifyWantsFullScreenLiveView([](bool& full) { EXPECT_TRUE(full); });
    EXPECT_TRUE(takeNames().empty());
    page.modifyWantsFullScreenLiveView([](bool& full) { full = !full; });
    ASSERT_EQ(takeNames(), std::vector<std::string>{kFullScreen});
    EXPECT_FALSE(base::cast<base::Number>(last().userInfo->objectForKey(
                                              PaddockNotifications::Key::wantsFullScreenLiveView))
                     ->boolValue());
    EXPECT_FALSE(page.needsIndefiniteExecution());  // full screen alone keeps nothing running
}

namespace {

class SafeView : public ui::View, public PaddockLiveViewSafeAreaContainerDefaults<SafeView> {};
class SafeController : public ui::ViewController,
                       public PaddockLiveViewSafeAreaContainerDefaults<SafeController> {};

}  // namespace

TEST(LiveViewSafeAreaTest, ViewsAnswerTheirGuideAndControllersLoadTheirView) {
    auto view = std::make_shared<SafeView>();
    PaddockLiveViewSafeAreaContainer& viewContainer = *view;
    EXPECT_EQ(viewContainer.liveViewSafeAreaGuide(), view->safeAreaLayoutGuide());
    EXPECT_TRUE(viewContainer.liveViewSafeAreaGuide()->isSafeAreaLayoutGuide());

    auto controller = ui::ViewController::create<SafeController>();
    ASSERT_FALSE(controller->isViewLoaded());
    PaddockLiveViewSafeAreaContainer& controllerContainer = *controller;
    auto guide = controllerContainer.liveViewSafeAreaGuide();
    ASSERT_TRUE(controller->isViewLoaded());
    EXPECT_EQ(guide, controller->view()->safeAreaLayoutGuide());
    EXPECT_EQ(guide->owningView(), controller->view());
}
