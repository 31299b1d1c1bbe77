#include <gtest/gtest.h>

#include "Corral/PaddockLiveViewable.h"
#include "Corral/declarative/Declarative.h"

namespace {

// A page's own value type, live-viewable through a member.
struct Gauge {
    base::Ref<ui::View> face = ui::View::make(ui::Rect(0, 0, 10, 10));
    PaddockLiveViewRepresentation paddockLiveViewRepresentation() const {
        return PaddockLiveViewRepresentation::view(face);
    }
};

// A page's own class, held by reference, live-viewable through a free function.
struct Board : base::Object {
    base::Ref<ui::ViewController> controller = ui::ViewController::make();
};
PaddockLiveViewRepresentation paddockLiveViewRepresentation(const base::Ref<Board>& board) {
    return PaddockLiveViewRepresentation::viewController(board->controller);
}

class CustomView : public ui::View {};

}  // namespace

TEST(LiveViewableTest, ViewsAndControllersAnswerThemselvesAndAreHeldStrongly) {
    base::WeakRef<ui::View> weak;
    std::optional<PaddockLiveViewable> live;
    {
        auto view = std::make_shared<CustomView>();
        weak = view;
        live.emplace(view);
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(live->paddockLiveViewRepresentation().kind(),
              PaddockLiveViewRepresentation::Case::view);
    EXPECT_EQ(live->paddockLiveViewRepresentation().viewValue(), weak.lock());
    EXPECT_EQ(live->object(), weak.lock());
    live.reset();
    EXPECT_TRUE(weak.expired());

    auto hosting = declarative::HostingController::make(declarative::Text("hi"));
    PaddockLiveViewable controller(hosting);
    EXPECT_EQ(controller.paddockLiveViewRepresentation().kind(),
              PaddockLiveViewRepresentation::Case::viewController);
    EXPECT_EQ(controller.paddockLiveViewRepresentation().viewControllerValue(), hosting);
    EXPECT_EQ(controller.as<declarative::HostingController>(), hosting);
    EXPECT_FALSE(controller.as<ui::View>());
}

TEST(LiveViewableTest, PageTypesAdoptItByMemberOrFreeFunction) {
    Gauge gauge;
    PaddockLiveViewable value(gauge);
    EXPECT_EQ(value.paddockLiveViewRepresentation().viewValue(), gauge.face);
    EXPECT_EQ(value.object(), nullptr);  // a value type is no object
    ASSERT_NE(value.value<Gauge>(), nullptr);
    EXPECT_EQ(value.value<Gauge>()->face, gauge.face);

    auto board = std::make_shared<Board>();
    PaddockLiveViewable byReference(board);
    EXPECT_EQ(byReference.paddockLiveViewRepresentation().viewControllerValue(), board->controller);
    EXPECT_EQ(byReference.as<Board>(), board);
    static_assert(!LiveViewable<int>);
    static_assert(LiveViewable<base::Ref<CustomView>>);
}
