// A small application built on the UI toolkit. Its window shows a header
// along the top of the safe area, a sidebar on the leading side and a
// content area beside it; the content area holds a card, centred and sized
// in proportion to it, whose content is declarative. The program prints the
// view tree as laid out, then in a right-to-left layout, then after the
// screen turns to portrait, writes the first layout as an SVG picture
// (default: ui-layout.svg), and ends.
#include <cstdio>
#include <string>

#include "Corral/base/FileSystem.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/ui/UI.h"

namespace {

using ui::Color;
using ui::LayoutConstraint;
using ui::Multiplier;

base::Ref<ui::View> constrainedView(base::Ref<Color> color) {
    auto view = ui::View::make();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    view->setBackgroundColor(std::move(color));
    return view;
}

struct ProgressCard {
    declarative::AnyView body() const {
        using namespace declarative;
        return Column({Text("Progress"), Fill(Color::colorWithRed(0.2, 0.6, 0.3)),
                       Text("3 of 4 pages")})
            .padding(12)
            .background(Color::colorWithWhite(0.95));
    }
};

class DashboardController : public ui::ViewController {
public:
    void loadView() override {
        auto root = ui::View::make();
        root->setBackgroundColor(Color::whiteColor());
        auto header = constrainedView(Color::colorWithRed(0.15, 0.2, 0.3));
        auto sidebar = constrainedView(Color::colorWithWhite(0.85));
        auto content = constrainedView(Color::colorWithRed(0.9, 0.92, 1));
        for (const auto& view : {header, sidebar, content}) root->addSubview(view);
        auto safe = root->safeAreaLayoutGuide();
        LayoutConstraint::activateConstraints({
            header->topAnchor()->constraintEqualToAnchor(safe->topAnchor()),
            header->leadingAnchor()->constraintEqualToAnchor(root->leadingAnchor()),
            header->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
            header->heightAnchor()->constraintEqualToConstant(60),
            sidebar->topAnchor()->constraintEqualToAnchor(header->bottomAnchor()),
            sidebar->bottomAnchor()->constraintEqualToAnchor(root->bottomAnchor()),
            sidebar->leadingAnchor()->constraintEqualToAnchor(root->leadingAnchor()),
            sidebar->widthAnchor()->constraintEqualToConstant(240),
            content->topAnchor()->constraintEqualToAnchor(header->bottomAnchor()),
            content->bottomAnchor()->constraintEqualToAnchor(root->bottomAnchor()),
            content->leadingAnchor()->constraintEqualToAnchor(sidebar->trailingAnchor()),
            content->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
        });

        // The card: a child view controller hosting declarative content.
        auto card = declarative::HostingController::make(ProgressCard{});
        addChildViewController(card);
        auto cardView = card->view();
        cardView->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->addSubview(cardView);
        LayoutConstraint::activateConstraints({
            cardView->centerXAnchor()->constraintEqualToAnchor(content->centerXAnchor()),
            cardView->centerYAnchor()->constraintEqualToAnchor(content->centerYAnchor()),
            cardView->widthAnchor()->constraintEqualToAnchor(content->widthAnchor(),
                                                             Multiplier(0.5)),
            cardView->heightAnchor()->constraintEqualToAnchor(content->heightAnchor(),
                                                              Multiplier(0.5)),
        });
        setView(root);
        card->didMoveToParentViewController(std::static_pointer_cast<ui::ViewController>(self()));
    }
    bool prefersStatusBarHidden() const override { return true; }
};

class ExampleDelegate : public ui::Responder, public ui::ApplicationDelegate {
public:
    bool application(ui::Application& application, const base::Ref<base::Dictionary>&) override {
        ui::Screen::mainScreen()->setSafeAreaInsets({24, 0, 0, 0});
        window_ = ui::Window::make();
        window_->setRootViewController(ui::ViewController::create<DashboardController>());
        window_->makeKeyAndVisible();
        print("Landscape, left to right");
        std::string svg = ui::svgForViewTree(*window_);

        application.setUserInterfaceLayoutDirection(ui::UserInterfaceLayoutDirection::rightToLeft);
        window_->layoutIfNeeded();
        print("Landscape, right to left");

        application.setUserInterfaceLayoutDirection(ui::UserInterfaceLayoutDirection::leftToRight);
        ui::Screen::mainScreen()->setBounds({0, 0, 768, 1024});
        print("Portrait, left to right");

        const auto& arguments = application.arguments();
        std::string path = arguments.size() > 1 ? arguments[1] : "ui-layout.svg";
        if (!base::writeFileAtomically(path, svg)) {
            std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
            application.terminate(1);
            return false;
        }
        std::printf("The first layout is drawn in %s\n", path.c_str());
        application.terminate(0);
        return true;
    }

private:
    void print(const char* title) {
        std::printf("%s (status bar %s):\n%s\n", title,
                    ui::Application::shared()->isStatusBarHidden() ? "hidden" : "shown",
                    ui::dumpViewTree(*window_).c_str());
    }
    base::Ref<ui::Window> window_;
};

}  // namespace

int main(int argc, char** argv) {
    return ui::applicationMain(argc, argv, [] { return std::make_shared<ExampleDelegate>(); });
}
