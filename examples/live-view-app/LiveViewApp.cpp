// A live-view application built on Stagehand. Its delegate shows a live
// view beside other content (the side-by-side configuration); the live view
// is either built from platform views ("views") or described declaratively
// ("declarative"). Run headless, the application launches on a screen 1194
// points wide, turns it to 834 points wide and back, prints the view tree
// in each of the three states, writes an SVG picture of each, and ends.
// Its name and version come from the Info.plist beside the program, which
// the build expands from a template and a settings file.
//
//     example-live-view-app views|declarative [output-folder]
#include <cstdio>
#include <cstring>
#include <string>

#include "Corral/Stagehand/Stagehand.h"
#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/ui/UI.h"

namespace {

using ui::Color;
using ui::LayoutConstraint;

enum class Variant { views, declarative };

// The string under `key` in the application's Info.plist, or nothing.
std::string infoString(const std::string& key) {
    auto bytes = base::readFile(ui::Bundle::mainBundle()->path() + "/Info.plist");
    if (!bytes) return {};
    try {
        auto info = base::cast<base::Dictionary>(base::readPropertyList(*bytes).root);
        auto value = info ? base::cast<base::String>(info->objectForKey(key)) : nullptr;
        return value ? value->text() : std::string();
    } catch (const base::PropertyListError&) {
        return {};
    }
}

base::Ref<ui::View> constrainedView(base::Ref<ui::View> view, base::Ref<Color> color) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    view->setBackgroundColor(std::move(color));
    return view;
}

// A scoreboard made of platform views: a title bar across the top and two
// score tiles side by side below it, each with its label.
base::Ref<ui::View> scoreboardView() {
    auto board = ui::View::make();
    board->setBackgroundColor(Color::colorWithWhite(0.15));
    auto title = constrainedView(declarative::TextView::make("Scoreboard"),
                                 Color::colorWithRed(0.2, 0.3, 0.5));
    auto home =
        constrainedView(declarative::TextView::make("Home 3"), Color::colorWithRed(0.9, 0.4, 0.2));
    auto away =
        constrainedView(declarative::TextView::make("Away 1"), Color::colorWithRed(0.2, 0.6, 0.9));
    for (const auto& view : {title, home, away}) board->addSubview(view);
    LayoutConstraint::activateConstraints({
        title->topAnchor()->constraintEqualToAnchor(board->topAnchor(), 16),
        title->leadingAnchor()->constraintEqualToAnchor(board->leadingAnchor(), 16),
        title->trailingAnchor()->constraintEqualToAnchor(board->trailingAnchor(), -16),
        title->heightAnchor()->constraintEqualToConstant(48),
        home->topAnchor()->constraintEqualToAnchor(title->bottomAnchor(), 16),
        home->bottomAnchor()->constraintEqualToAnchor(board->bottomAnchor(), -16),
        home->leadingAnchor()->constraintEqualToAnchor(title->leadingAnchor()),
        away->topAnchor()->constraintEqualToAnchor(home->topAnchor()),
        away->bottomAnchor()->constraintEqualToAnchor(home->bottomAnchor()),
        away->leadingAnchor()->constraintEqualToAnchor(home->trailingAnchor(), 16),
        away->trailingAnchor()->constraintEqualToAnchor(title->trailingAnchor()),
        away->widthAnchor()->constraintEqualToAnchor(home->widthAnchor()),
    });
    return board;
}

// The same scoreboard, described as declarative content.
struct Scoreboard {
    declarative::AnyView body() const {
        using namespace declarative;
        return Column({Overlay({Fill(Color::colorWithRed(0.2, 0.3, 0.5)), Text("Scoreboard")})
                           .frame(std::nullopt, 48),
                       Row({Overlay({Fill(Color::colorWithRed(0.9, 0.4, 0.2)), Text("Home 3")}),
                            Overlay({Fill(Color::colorWithRed(0.2, 0.6, 0.9)), Text("Away 1")})},
                           16)},
                      16)
            .padding(16)
            .background(Color::colorWithWhite(0.15));
    }
};

class ScoreboardAppDelegate : public stagehand::AppDelegate {
public:
    ScoreboardAppDelegate(Variant variant, std::string outputFolder)
        : variant_(variant), outputFolder_(std::move(outputFolder)) {}

    PaddockLiveViewable setUpLiveView() override {
        if (variant_ == Variant::views) return scoreboardView();
        return declarative::HostingController::make(Scoreboard{});
    }
    stagehand::LiveViewConfiguration liveViewConfiguration() const override {
        return stagehand::LiveViewConfiguration::sideBySide;
    }

    bool application(ui::Application& application,
                     const base::Ref<base::Dictionary>& launchOptions) override {
        bool launched = AppDelegate::application(application, launchOptions);
        ui::RunLoop::main().post([this, &application] { application.terminate(tour()); });
        return launched;
    }

private:
    // Shows each screen width in turn; answers the exit status.
    int tour() {
        struct State {
            const char* name;
            double width, height;
        };
        const State states[] = {
            {"1-wide", 1194, 834}, {"2-narrow", 834, 1194}, {"3-wide", 1194, 834}};
        const char* variantName = variant_ == Variant::views ? "views" : "declarative";
        for (const auto& state : states) {
            ui::Screen::mainScreen()->setBounds({0, 0, state.width, state.height});
            auto window = ui::Application::shared()->keyWindow();
            window->layoutIfNeeded();
            std::printf("Screen %g x %g points:\n%s\n", state.width, state.height,
                        ui::dumpViewTree(*window).c_str());
            std::string path =
                outputFolder_ + "/live-view-" + variantName + "-" + state.name + ".svg";
            if (!base::writeFileAtomically(path, ui::svgForViewTree(*window))) {
                std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
                return 73;  // cannot create the output file
            }
            std::printf("Drawn in %s\n\n", path.c_str());
        }
        return 0;
    }

    Variant variant_;
    std::string outputFolder_;
};

}  // namespace

int main(int argc, char** argv) {
    Variant variant;
    if (argc >= 2 && std::strcmp(argv[1], "views") == 0) {
        variant = Variant::views;
    } else if (argc >= 2 && std::strcmp(argv[1], "declarative") == 0) {
        variant = Variant::declarative;
    } else {
        std::fprintf(stderr, "usage: %s views|declarative [output-folder]\n", argv[0]);
        return 64;  // usage error
    }
    std::string outputFolder = argc >= 3 ? argv[2] : ".";
    std::printf("%s %s\n\n", infoString("BundleName").c_str(), infoString("Version").c_str());
    return ui::applicationMain(argc, argv, [variant, outputFolder] {
        return std::make_shared<ScoreboardAppDelegate>(variant, outputFolder);
    });
}
