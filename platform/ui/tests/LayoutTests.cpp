#include "Corral/testing/Recorders.h"
#include "UITestSupport.h"

using namespace ui;

namespace {

class LayoutTest : public uitest::UITest {
protected:
    void SetUp() override {
        window = Window::make({0, 0, 800, 600});
        root = View::make(window->bounds());
        window->addSubview(root);
    }

    static base::Ref<View> constrainedView() {
        auto view = View::make();
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        return view;
    }

    // A view placed by constraints alone, added to `parent`.
    template <class Parent>
    static base::Ref<View> constrainedView(const base::Ref<Parent>& parent) {
        auto view = constrainedView();
        parent->addSubview(view);
        return view;
    }

    // `view`'s edges `inset` inside those of `to`, a view or a layout guide.
    template <class To>
    static std::vector<base::Ref<LayoutConstraint>> edges(const base::Ref<View>& view,
                                                          const base::Ref<To>& to,
                                                          double inset = 0) {
        return {view->topAnchor()->constraintEqualToAnchor(to->topAnchor(), inset),
                to->bottomAnchor()->constraintEqualToAnchor(view->bottomAnchor(), inset),
                view->leadingAnchor()->constraintEqualToAnchor(to->leadingAnchor(), inset),
                to->trailingAnchor()->constraintEqualToAnchor(view->trailingAnchor(), inset)};
    }

    // A fixed width and height for `view`.
    static std::vector<base::Ref<LayoutConstraint>> sized(const base::Ref<View>& view, double width,
                                                          double height) {
        return {view->widthAnchor()->constraintEqualToConstant(width),
                view->heightAnchor()->constraintEqualToConstant(height)};
    }

    // The side-by-side arrangement: width × widthFactor, height × heightFactor,
    // pinned to the top and trailing edges of the root.
    base::Ref<View> pinnedTopTrailing(double widthFactor, double heightFactor) {
        auto view = constrainedView(root);
        LayoutConstraint::activateConstraints({
            view->topAnchor()->constraintEqualToAnchor(root->topAnchor()),
            view->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
            view->widthAnchor()->constraintEqualToAnchor(root->widthAnchor(),
                                                         Multiplier(widthFactor)),
            view->heightAnchor()->constraintEqualToAnchor(root->heightAnchor(),
                                                          Multiplier(heightFactor)),
        });
        return view;
    }

    base::Ref<Window> window;
    base::Ref<View> root;
};

}  // namespace

TEST_F(LayoutTest, FullSizeAndNestedInsetViewsFollowTheirConstraints) {
    auto outer = constrainedView(root);
    auto inner = constrainedView(outer);
    LayoutConstraint::activateConstraints(edges(outer, root));
    LayoutConstraint::activateConstraints(edges(inner, outer, 10));
    EXPECT_TRUE(window->needsLayout());
    inner->layoutIfNeeded();  // lays out the whole window
    EXPECT_FALSE(window->needsLayout());
    EXPECT_EQ(outer->frame(), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(inner->frame(), (Rect{10, 10, 780, 580}));
    EXPECT_EQ(inner->convertRect(inner->bounds(), nullptr), (Rect{10, 10, 780, 580}));

    // The root keeps the frame it is given; constraints follow it.
    root->setFrame({100, 50, 400, 300});
    window->layoutIfNeeded();
    EXPECT_EQ(outer->frame(), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(inner->convertRect(inner->bounds(), nullptr), (Rect{110, 60, 380, 280}));
}

TEST_F(LayoutTest, HalfWidthPinnedToTheTrailingEdgeFollowsTheLayoutDirection) {
    auto live = pinnedTopTrailing(0.5, 1);
    window->layoutIfNeeded();
    EXPECT_EQ(live->frame(), (Rect{400, 0, 400, 600}));

    Application::shared()->setUserInterfaceLayoutDirection(
        UserInterfaceLayoutDirection::rightToLeft);
    EXPECT_TRUE(window->needsLayout());
    window->layoutIfNeeded();
    EXPECT_EQ(live->frame(), (Rect{0, 0, 400, 600}));

    // Left and right do not flip.
    auto fixedSide = constrainedView(root);
    auto fixedSideConstraints = sized(fixedSide, 100, 10);
    fixedSideConstraints.push_back(
        fixedSide->rightAnchor()->constraintEqualToAnchor(root->rightAnchor()));
    fixedSideConstraints.push_back(
        fixedSide->topAnchor()->constraintEqualToAnchor(root->topAnchor()));
    LayoutConstraint::activateConstraints(fixedSideConstraints);
    window->layoutIfNeeded();
    EXPECT_EQ(fixedSide->frame(), (Rect{700, 0, 100, 10}));
}

TEST_F(LayoutTest, HalfHeightPinnedToTheTopAndCentredViews) {
    auto live = pinnedTopTrailing(1, 0.5);
    auto badge = constrainedView(live);
    LayoutConstraint::activateConstraints({
        badge->centerXAnchor()->constraintEqualToAnchor(live->centerXAnchor()),
        badge->centerYAnchor()->constraintEqualToAnchor(live->centerYAnchor(), 5),
        badge->widthAnchor()->constraintEqualToAnchor(live->widthAnchor(), Multiplier(0.25)),
        badge->heightAnchor()->constraintEqualToAnchor(badge->widthAnchor(), Multiplier(0.5), 10),
    });
    window->layoutIfNeeded();
    EXPECT_EQ(live->frame(), (Rect{0, 0, 800, 300}));
    EXPECT_EQ(badge->frame(), (Rect{300, 100, 200, 110}));
}

TEST_F(LayoutTest, ConstraintsMeasureFromTheBoundsOriginOfTheirViews) {
    auto container = View::make({50, 20, 600, 400});
    container->setBounds({10, 0, 600, 400});
    root->addSubview(container);
    auto child = constrainedView(container);
    LayoutConstraint::activateConstraints(edges(child, container));
    window->layoutIfNeeded();
    // The container's left edge is at its own x = 10.
    EXPECT_EQ(child->frame(), (Rect{10, 0, 600, 400}));
    EXPECT_EQ(child->convertRect(child->bounds(), nullptr), (Rect{50, 20, 600, 400}));
}

TEST_F(LayoutTest, ViewsThatTranslateTheirMaskKeepTheirFramesAndAnchorOthers) {
    auto fixed = View::make({100, 100, 50, 50});
    root->addSubview(fixed);
    auto follower = constrainedView(root);
    LayoutConstraint::activateConstraints({
        follower->leadingAnchor()->constraintEqualToAnchor(fixed->trailingAnchor(), 8),
        follower->topAnchor()->constraintEqualToAnchor(fixed->topAnchor()),
        follower->widthAnchor()->constraintEqualToAnchor(fixed->widthAnchor()),
        follower->heightAnchor()->constraintEqualToConstant(20),
        // A constraint on the fixed view itself cannot move it.
        fixed->widthAnchor()->constraintEqualToConstant(50),
    });
    // A view that keeps its frame inside a solved view moves with it, and
    // views constrained to it follow.
    auto mark = View::make({5, 5, 4, 4});
    follower->addSubview(mark);
    auto tail = constrainedView(root);
    auto tailConstraints = sized(tail, 1, 1);
    tailConstraints.push_back(tail->leftAnchor()->constraintEqualToAnchor(mark->rightAnchor()));
    tailConstraints.push_back(tail->topAnchor()->constraintEqualToAnchor(mark->bottomAnchor()));
    LayoutConstraint::activateConstraints(tailConstraints);
    window->layoutIfNeeded();
    EXPECT_EQ(fixed->frame(), (Rect{100, 100, 50, 50}));
    EXPECT_EQ(follower->frame(), (Rect{158, 100, 50, 20}));
    EXPECT_EQ(tail->frame(), (Rect{167, 109, 1, 1}));
    fixed->setFrame({0, 0, 30, 30});
    window->layoutIfNeeded();
    EXPECT_EQ(follower->frame(), (Rect{38, 0, 30, 20}));
    EXPECT_EQ(mark->frame(), (Rect{5, 5, 4, 4}));
    EXPECT_EQ(tail->frame(), (Rect{47, 9, 1, 1}));
}

TEST_F(LayoutTest, ConflictingConstraintsKeepTheLastGoodFramesAndAreReported) {
    auto view = constrainedView(root);
    auto width100 = view->widthAnchor()->constraintEqualToConstant(100);
    auto other = constrainedView(root);
    LayoutConstraint::activateConstraints(
        {width100, view->heightAnchor()->constraintEqualToConstant(10),
         view->leftAnchor()->constraintEqualToAnchor(root->leftAnchor()),
         view->topAnchor()->constraintEqualToAnchor(root->topAnchor())});
    LayoutConstraint::activateConstraints(edges(other, root, 1));
    window->layoutIfNeeded();
    ASSERT_EQ(view->frame(), (Rect{0, 0, 100, 10}));

    testing_support::LogRecorder log("layout");
    auto width200 = view->widthAnchor()->constraintEqualToConstant(200);
    width200->setActive(true);
    root->setFrame({0, 0, 700, 500});  // the independent view still follows
    window->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (Rect{0, 0, 100, 10}));
    EXPECT_EQ(other->frame(), (Rect{1, 1, 698, 498}));
    EXPECT_TRUE(log.contains("Unable to satisfy the constraints", base::LogLevel::error));
    EXPECT_TRUE(log.contains(width200->description(), base::LogLevel::error));

    // A solution with a negative width is refused the same way.
    width200->setActive(false);
    width100->setConstant(-30);
    window->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (Rect{0, 0, 100, 10}));

    width100->setConstant(60);
    window->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (Rect{0, 0, 60, 10}));
}

TEST_F(LayoutTest, MissingConstraintsKeepCurrentValuesAndAreReported) {
    auto view = constrainedView();
    view->setFrame({0, 0, 120, 40});
    root->addSubview(view);
    LayoutConstraint::activateConstraints({
        view->topAnchor()->constraintEqualToAnchor(root->topAnchor(), 5),
        view->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
    });
    testing_support::LogRecorder log("layout");
    window->layoutIfNeeded();
    // The sizes keep their values and the positions follow from them.
    EXPECT_EQ(view->frame(), (Rect{680, 5, 120, 40}));
    EXPECT_TRUE(log.contains("Ambiguous layout", base::LogLevel::info));
    EXPECT_TRUE(log.contains("the width of", base::LogLevel::info));
}

TEST_F(LayoutTest, ActivationKeepsListOrderAndChecksTheWholeListFirst) {
    auto a = constrainedView(root);
    auto b = constrainedView(root);
    auto list = edges(a, b);
    LayoutConstraint::activateConstraints(list);
    EXPECT_EQ(root->constraints(), list);
    EXPECT_TRUE(list[2]->isActive());
    EXPECT_EQ(list[2]->installedView(), root);

    LayoutConstraint::deactivateConstraints({list[1], list[3]});
    EXPECT_EQ(root->constraints(), (std::vector<base::Ref<LayoutConstraint>>{list[0], list[2]}));
    LayoutConstraint::activateConstraints({list[3], list[1]});
    EXPECT_EQ(root->constraints(),
              (std::vector<base::Ref<LayoutConstraint>>{list[0], list[2], list[3], list[1]}));

    auto stranger = View::make();  // in no tree with a
    auto good = a->widthAnchor()->constraintEqualToConstant(5);
    auto bad = a->widthAnchor()->constraintEqualToAnchor(stranger->widthAnchor());
    EXPECT_THROW(LayoutConstraint::activateConstraints({good, bad}),
                 base::InvalidArgumentException);
    EXPECT_FALSE(good->isActive());
    EXPECT_FALSE(bad->isActive());

    EXPECT_THROW(a->leadingAnchor()->constraintEqualToAnchor(b->leftAnchor()),
                 base::InvalidArgumentException);
    EXPECT_THROW(a->widthAnchor()->constraintEqualToConstant(NAN), base::InvalidArgumentException);
    EXPECT_THROW(a->topAnchor()->constraintEqualToAnchor(nullptr), base::InvalidArgumentException);
}

TEST_F(LayoutTest, LeavingTheTreeCutsOnlyTheConstraintsThatTieTheSubtreeToIt) {
    auto card = constrainedView(root);
    auto label = constrainedView(card);
    auto outside = edges(card, root);
    auto inside = edges(label, card, 4);
    LayoutConstraint::activateConstraints(outside);
    LayoutConstraint::activateConstraints(inside);
    card->removeFromSuperview();
    for (const auto& c : outside) EXPECT_FALSE(c->isActive());
    for (const auto& c : inside) EXPECT_TRUE(c->isActive());

    // Released items make no trouble: the constraint dies with its view.
    {
        auto temporary = constrainedView(root);
        temporary->widthAnchor()->constraintEqualToConstant(3)->setActive(true);
        temporary->removeFromSuperview();
    }
    window->layoutIfNeeded();
    EXPECT_TRUE(root->constraints().empty());
}

TEST_F(LayoutTest, SafeAreaAndOwnGuidesTakePartInLayout) {
    Screen::mainScreen()->setSafeAreaInsets({20, 0, 10, 0});
    auto fullWindow = Window::make();
    auto content = constrainedView(fullWindow);
    auto safe = fullWindow->safeAreaLayoutGuide();
    LayoutConstraint::activateConstraints(edges(content, safe));
    fullWindow->layoutIfNeeded();
    EXPECT_EQ(content->frame(), (Rect{0, 20, 1024, 738}));
    EXPECT_EQ(safe->layoutFrame(), (Rect{0, 20, 1024, 738}));
    EXPECT_EQ(content->safeAreaInsets(), (EdgeInsets{}));

    // A guide of the content: its left quarter.
    auto quarter = LayoutGuide::make();
    quarter->setIdentifier("quarter");
    content->addLayoutGuide(quarter);
    auto box = constrainedView(content);
    LayoutConstraint::activateConstraints({
        quarter->leftAnchor()->constraintEqualToAnchor(content->leftAnchor()),
        quarter->topAnchor()->constraintEqualToAnchor(content->topAnchor()),
        quarter->heightAnchor()->constraintEqualToAnchor(content->heightAnchor()),
        quarter->widthAnchor()->constraintEqualToAnchor(content->widthAnchor(), Multiplier(0.25)),
    });
    LayoutConstraint::activateConstraints(edges(box, content));
    fullWindow->layoutIfNeeded();
    EXPECT_EQ(quarter->layoutFrame(), (Rect{0, 0, 256, 738}));

    Screen::mainScreen()->setSafeAreaInsets({40, 0, 0, 0});
    fullWindow->layoutIfNeeded();
    EXPECT_EQ(content->frame(), (Rect{0, 40, 1024, 728}));
    EXPECT_EQ(quarter->layoutFrame(), (Rect{0, 0, 256, 728}));

    content->removeLayoutGuide(quarter);
    EXPECT_EQ(quarter->owningView(), nullptr);
    EXPECT_EQ(content->constraints().size(), 4u);  // the box's own four remain
}

TEST_F(LayoutTest, LayoutSubviewsRunsAfterTheSolveOnResizedViews) {
    struct Measuring : View {
        void layoutSubviews() override { sizes.push_back(bounds().size); }
        std::vector<Size> sizes;
    };
    auto view = std::make_shared<Measuring>();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(view);
    LayoutConstraint::activateConstraints(edges(view, root, 100));
    window->layoutIfNeeded();
    ASSERT_EQ(view->sizes.size(), 1u);
    EXPECT_EQ(view->sizes[0], (Size{600, 400}));
    window->layoutIfNeeded();  // nothing changed: no second call
    EXPECT_EQ(view->sizes.size(), 1u);
    root->setFrame({0, 0, 400, 400});
    window->layoutIfNeeded();
    ASSERT_EQ(view->sizes.size(), 2u);
    EXPECT_EQ(view->sizes[1], (Size{200, 200}));
}

TEST_F(LayoutTest, LayoutThatNeverSettlesStopsAndIsReported) {
    struct Restless : View {
        void layoutSubviews() override { setNeedsLayout(); }
    };
    auto view = std::make_shared<Restless>();
    root->addSubview(view);
    testing_support::LogRecorder log("layout");
    window->layoutIfNeeded();
    EXPECT_FALSE(window->needsLayout());
    EXPECT_TRUE(log.contains("Layout did not settle", base::LogLevel::error));
}
