#include <gtest/gtest.h>

#include "Corral/base/Exception.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/ui/UI.h"

using namespace declarative;
using ui::Color;
using ui::Rect;

namespace base {
inline void PrintTo(const Rect& rect, std::ostream* os) { *os << ui::describeRect(rect); }
}  // namespace base

namespace {

struct Badge {
    std::string label;
    AnyView body() const { return Text(label).padding(4).background(Color::whiteColor()); }
};

// A composite made of another composite.
struct Card {
    AnyView body() const { return Overlay({Fill(Color::blackColor()), Badge{"hey"}}); }
};

base::Ref<HostingView> laidOut(AnyView content, ui::Size size) {
    auto view = HostingView::make(std::move(content));
    view->setFrame({0, 0, size.width, size.height});
    view->layoutIfNeeded();
    return view;
}

class DeclarativeTest : public ::testing::Test {
protected:
    void TearDown() override {
        ui::Application::shared()->setUserInterfaceLayoutDirection(
            ui::UserInterfaceLayoutDirection::leftToRight);
    }
};

}  // namespace

TEST_F(DeclarativeTest, ColumnsStackTextAndShareTheRestWithFills) {
    auto content = Column({Text("Title"), Fill(Color::colorWithRed(1, 0, 0))})
                       .padding(10)
                       .background(Color::whiteColor());
    EXPECT_EQ(content.sizeThatFits({200, 100}), (ui::Size{200, 100}));
    auto view = laidOut(content, {200, 100});
    EXPECT_EQ(ui::dumpViewTree(*view),
              "declarative::HostingView (0, 0, 200, 100)\n"
              "  ui::View (0, 0, 200, 100) background rgba(1, 1, 1, 1)\n"
              "    declarative::TextView (80, 10, 40, 16) text=\"Title\"\n"
              "    ui::View (10, 34, 180, 56) background rgba(1, 0, 0, 1)\n");

    // Without anything that stretches, a column takes only what it needs.
    auto tight = Column({Text("a"), Text("abc\nde")}, 2);
    EXPECT_EQ(tight.sizeThatFits({500, 500}), (ui::Size{24, 50}));
}

TEST_F(DeclarativeTest, RowsFollowTheLayoutDirectionAndFixedFramesKeepTheirSize) {
    auto content = Row(
        {Fill(Color::blackColor()), Fill(Color::whiteColor()).frame(50, std::nullopt), Text("ab")},
        0);
    auto frames = [&] {
        auto view = laidOut(content, {300, 40});
        std::vector<Rect> list;
        for (const auto& subview : view->subviews()) list.push_back(subview->frame());
        return list;
    };
    EXPECT_EQ(frames(), (std::vector<Rect>{{0, 0, 234, 40}, {234, 0, 50, 40}, {284, 12, 16, 16}}));
    ui::Application::shared()->setUserInterfaceLayoutDirection(
        ui::UserInterfaceLayoutDirection::rightToLeft);
    EXPECT_EQ(frames(), (std::vector<Rect>{{66, 0, 234, 40}, {16, 0, 50, 40}, {0, 12, 16, 16}}));
}

TEST_F(DeclarativeTest, CompositesComposeAndOverlaysCentre) {
    EXPECT_EQ(AnyView(Badge{"hey"}).sizeThatFits({1000, 1000}), (ui::Size{32, 24}));
    auto view = laidOut(Card{}, {100, 50});
    ASSERT_EQ(view->subviews().size(), 2u);
    EXPECT_EQ(view->subviews()[0]->frame(), (Rect{0, 0, 100, 50}));
    auto badge = view->subviews()[1];
    EXPECT_EQ(badge->frame(), (Rect{34, 13, 32, 24}));
    ASSERT_EQ(badge->subviews().size(), 1u);
    auto text = std::dynamic_pointer_cast<TextView>(badge->subviews()[0]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "hey");
    EXPECT_EQ(text->frame(), (Rect{4, 4, 24, 16}));

    EXPECT_THROW(Text("x").padding(-1), base::InvalidArgumentException);
    EXPECT_THROW(Fill(nullptr), base::InvalidArgumentException);
    EXPECT_EQ(TextView::sizeOfText("h\xC3\xA9llo"), (ui::Size{40, 16}));  // five characters
}

TEST_F(DeclarativeTest, HostingViewsRebuildOnlyWhenSizeOrContentChange) {
    auto view = HostingView::make(Text("one"));
    auto foreign = ui::View::make({0, 0, 1, 1});
    view->addSubview(foreign);
    view->setFrame({0, 0, 100, 100});
    view->layoutIfNeeded();
    ASSERT_EQ(view->subviews().size(), 2u);
    auto first = view->subviews()[1];
    view->setNeedsLayout();
    view->layoutIfNeeded();
    EXPECT_EQ(view->subviews()[1], first);  // same size, same content: kept

    view->setRootView(Text("two"));
    view->layoutIfNeeded();
    ASSERT_EQ(view->subviews().size(), 2u);
    EXPECT_EQ(view->subviews()[0], foreign);  // not ours: left alone
    EXPECT_EQ(std::dynamic_pointer_cast<TextView>(view->subviews()[1])->text(), "two");
    view->setFrame({0, 0, 50, 50});
    view->layoutIfNeeded();
    EXPECT_EQ(view->subviews()[1]->frame(), (Rect{13, 17, 24, 16}));
}

TEST_F(DeclarativeTest, AHostingControllerIsAViewControllerShowingItsContent) {
    auto controller = HostingController::make(Card{});
    auto again = HostingController::make(Card{});
    EXPECT_NE(controller, again);
    base::ObjectRef asObject = controller;
    EXPECT_NE(base::cast<ui::ViewController>(asObject), nullptr);
    EXPECT_EQ(base::cast<ui::View>(asObject), nullptr);
    EXPECT_FALSE(controller->isViewLoaded());
    EXPECT_EQ(controller->sizeThatFits({10, 10}), (ui::Size{32, 24}));

    // Hosted in half of a window, as a constrained view.
    auto window = ui::Window::make({0, 0, 400, 300});
    auto root = ui::ViewController::make();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    root->addChildViewController(controller);
    auto hosted = controller->view();
    EXPECT_NE(std::dynamic_pointer_cast<HostingView>(hosted), nullptr);
    hosted->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->view()->addSubview(hosted);
    ui::LayoutConstraint::activateConstraints({
        hosted->topAnchor()->constraintEqualToAnchor(root->view()->topAnchor()),
        hosted->trailingAnchor()->constraintEqualToAnchor(root->view()->trailingAnchor()),
        hosted->widthAnchor()->constraintEqualToAnchor(root->view()->widthAnchor(),
                                                       ui::Multiplier(0.5)),
        hosted->heightAnchor()->constraintEqualToAnchor(root->view()->heightAnchor()),
    });
    controller->didMoveToParentViewController(root);
    window->layoutIfNeeded();
    EXPECT_EQ(hosted->frame(), (Rect{200, 0, 200, 300}));
    ASSERT_EQ(hosted->subviews().size(), 2u);
    EXPECT_EQ(hosted->subviews()[1]->convertRect(hosted->subviews()[1]->bounds(), nullptr),
              (Rect{284, 138, 32, 24}));

    controller->setRootView(Text("changed"));
    window->layoutIfNeeded();
    ASSERT_EQ(hosted->subviews().size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<TextView>(hosted->subviews()[0])->text(), "changed");
}
