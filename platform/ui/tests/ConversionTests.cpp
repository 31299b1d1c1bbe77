#include "UITestSupport.h"

using namespace ui;

namespace {
class ConversionTest : public uitest::UITest {};
}  // namespace

TEST_F(ConversionTest, ConvertsThroughNestedViewsAndOffsetBounds) {
    auto window = Window::make({0, 0, 400, 300});
    auto outer = View::make({10, 20, 200, 100});
    outer->setBounds({5, 5, 200, 100});  // scrolled: subviews shift up and left by 5
    auto inner = View::make({30, 40, 50, 50});
    window->addSubview(outer);
    outer->addSubview(inner);

    EXPECT_EQ(inner->convertRect({0, 0, 10, 10}, nullptr), (Rect{35, 55, 10, 10}));
    EXPECT_EQ(inner->convertRect({0, 0, 10, 10}, outer), (Rect{30, 40, 10, 10}));
    EXPECT_EQ(outer->convertRect({30, 40, 1, 1}, inner), (Rect{0, 0, 1, 1}));
    EXPECT_EQ(window->convertPoint({35, 55}, inner), (Point{0, 0}));
    // The window is its own coordinate space, whatever its place on the screen.
    auto moved = Window::make({100, 100, 50, 50});
    EXPECT_EQ(moved->convertRect({1, 2, 3, 4}, nullptr), (Rect{1, 2, 3, 4}));

    // A bounds origin on the window itself moves everything in it too.
    window->setBounds({-10, 0, 400, 300});
    EXPECT_EQ(inner->convertRect({0, 0, 10, 10}, nullptr), (Rect{35, 55, 10, 10}));
    EXPECT_EQ(inner->convertRect(inner->bounds(), window), (Rect{35, 55, 50, 50}));
}

TEST_F(ConversionTest, ConvertsBetweenWindowsThroughTheScreen) {
    auto left = Window::make({0, 0, 100, 100});
    auto right = Window::make({300, 50, 100, 100});
    auto a = View::make({10, 10, 20, 20});
    auto b = View::make({5, 5, 20, 20});
    left->addSubview(a);
    right->addSubview(b);
    // a's origin is at screen (10, 10); b's origin at screen (305, 55).
    EXPECT_EQ(a->convertPoint({0, 0}, b), (Point{-295, -45}));
    EXPECT_EQ(b->convertPoint({0, 0}, a), (Point{295, 45}));
}

TEST_F(ConversionTest, HierarchyKeepsOrderMovesViewsAndRefusesCycles) {
    auto window = Window::make({0, 0, 100, 100});
    auto first = View::make();
    auto second = View::make();
    auto child = View::make();
    window->addSubview(first);
    window->addSubview(second);
    first->addSubview(child);
    EXPECT_EQ(window->subviews(), (std::vector<base::Ref<View>>{first, second}));
    EXPECT_EQ(child->window(), window);

    second->addSubview(child);  // moves it
    EXPECT_TRUE(first->subviews().empty());
    EXPECT_EQ(child->superview(), second);

    window->addSubview(first);  // again: brought to the front
    EXPECT_EQ(window->subviews(), (std::vector<base::Ref<View>>{second, first}));

    EXPECT_THROW(child->addSubview(second), base::InvalidArgumentException);
    EXPECT_THROW(child->addSubview(child), base::InvalidArgumentException);
    EXPECT_EQ(child->superview(), second);

    second->removeFromSuperview();
    EXPECT_EQ(child->window(), nullptr);
    EXPECT_EQ(window->subviews(), (std::vector<base::Ref<View>>{first}));
    // Converting to window coordinates outside a window uses the root.
    second->setFrame({40, 40, 10, 10});
    child->setFrame({1, 2, 3, 4});
    EXPECT_EQ(child->convertRect({0, 0, 3, 4}, nullptr), (Rect{1, 2, 3, 4}));
}

TEST_F(ConversionTest, GeometrySettersKeepTheCentreAndRejectBadNumbers) {
    auto view = View::make({10, 10, 100, 50});
    view->setBounds({0, 0, 50, 30});
    EXPECT_EQ(view->frame(), (Rect{35, 20, 50, 30}));
    EXPECT_THROW(view->setFrame({0, 0, -1, 10}), base::InvalidArgumentException);
    EXPECT_THROW(view->setFrame({std::nan(""), 0, 1, 1}), base::InvalidArgumentException);
    EXPECT_EQ(view->frame(), (Rect{35, 20, 50, 30}));
    EXPECT_EQ(insetRect({0, 0, 10, 10}, {2, 3, 4, 20}), (Rect{3, 2, 0, 4}));
}

TEST_F(ConversionTest, TintIsInheritedAndColoursCompareByComponents) {
    auto window = Window::make({0, 0, 10, 10});
    auto view = View::make();
    window->addSubview(view);
    auto tint = Color::colorWithRed(254.0 / 255, 75.0 / 255, 38.0 / 255);
    window->setTintColor(tint);
    EXPECT_EQ(view->tintColor(), tint);
    EXPECT_TRUE(Color::colorWithWhite(1)->isEqual(*Color::whiteColor()));
    EXPECT_FALSE(Color::clearColor()->isEqual(*Color::blackColor()));
    EXPECT_EQ(tint->hexString(), "#FE4B26");
    EXPECT_THROW(Color::colorWithRed(0, 0, INFINITY), base::InvalidArgumentException);
}
