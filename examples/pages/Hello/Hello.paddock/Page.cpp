// Hello: a page that touches everything a page can do. It prints through
// both print paths, asks to keep running and changes its mind, reads the
// mode the host runs it in, counts its visits in the key-value store, reads
// its own sources, shows a live view of its own and then declarative
// content, asks the host to navigate and to show glossary entries, and marks
// itself solved. Run it with corral-host, which reports each of these:
//
//     corral-host page-Hello.so Hello.paddock
#include <algorithm>
#include <iostream>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/ui/UI.h"

namespace {
const char* modeName(PaddockPage::ExecutionMode mode) {
    switch (mode) {
        case PaddockPage::ExecutionMode::run:
            return "run";
        case PaddockPage::ExecutionMode::runFaster:
            return "runFaster";
        case PaddockPage::ExecutionMode::runFastest:
            return "runFastest";
        case PaddockPage::ExecutionMode::step:
            return "step";
        case PaddockPage::ExecutionMode::stepSlowly:
            return "stepSlowly";
    }
    return "?";
}

// The hints of a failed status, or a word for the other states.
std::string statusText(const std::optional<PaddockPage::AssessmentStatus>& status) {
    if (!status) return "no status";
    if (status->asPass()) return "passed";
    std::string text = "failed, hints:";
    for (const auto& hint : status->asFail()->hints) text += " " + hint;
    return text;
}

// The page's own live view: a board with a ball on it.
class Board : public ui::View, public PaddockLiveViewSafeAreaContainerDefaults<Board> {
public:
    Board() {
        setBackgroundColor(ui::Color::whiteColor());
        ball->setBackgroundColor(ui::Color::colorWithRed(0.9, 0.3, 0.1, 1));
    }
    // Called once the board is shared, so that it can own its subviews.
    void build() { addSubview(ball); }
    std::string className() const override { return "Board"; }
    base::Ref<ui::View> ball = ui::View::make(ui::Rect(20, 30, 60, 40));
};

// Declarative content the page shows next.
struct Scores {
    std::int64_t visits;
    declarative::AnyView body() const {
        return declarative::Column(
                   {
                       declarative::Text("Visits: " + std::to_string(visits)),
                       declarative::Fill(ui::Color::colorWithRed(0.2, 0.6, 0.2, 1)).frame(120, 20),
                   })
            .padding(10);
    }
};

void readOwnSources(PaddockPage& page) {
    const std::string text = page.text();
    base::print("This page's text has", std::count(text.begin(), text.end(), '\n'),
                "lines; it begins:", text.substr(0, text.find('\n')));
    for (const auto& module : page.userModuleNames()) {
        for (const auto& file : page.listSourceFiles(module)) {
            auto source = page.getText(file, module);
            base::print("  module", module, "file", file, "-", source ? source->size() : 0,
                        "bytes");
        }
    }
    base::print("A file that is not there reads as",
                page.getText("Missing.cpp", "Hello") ? "text" : "no text");
}

void showLiveViews(PaddockPage& page, std::int64_t visits) {
    auto board = std::make_shared<Board>();
    board->build();
    page.setLiveView(board);
    base::print("The board's safe area is",
                ui::describeRect(board->liveViewSafeAreaGuide()->layoutFrame()));
    // Where the host placed the ball, in its window.
    page.showGlossaryEntry("live view", std::nullopt, board->ball);
    page.setLiveView(Scores{visits});
    page.setWantsFullScreenLiveView(true);
}

void requestNavigation(PaddockPage& page) {
    page.navigateTo(PaddockPage::PageNavigation::next());
    page.openPaddock("org.example.geometry", 2);
    page.openApplication("org.example.calculator");
    page.showGlossaryEntry("for loop");
}
}  // namespace

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    base::print("Hello from the page, running in mode", modeName(page.executionMode()));
    std::cout << "std::cout reaches the host's console too: " << 6 * 7 << std::endl;
    page.setNeedsIndefiniteExecution(true);
    page.modifyNeedsIndefiniteExecution([](bool& keepRunning) { keepRunning = !keepRunning; });

    auto& store = page.keyValueStore();
    std::optional<PaddockValue> name = store["name"];
    std::int64_t visits = 0;
    if (auto saved = store["visits"].value(); saved && saved->asInteger())
        visits = *saved->asInteger();
    base::print("Welcome back,", name && name->asString() ? *name->asString() : "stranger",
                "- this is visit", visits + 1);
    std::optional<PaddockValue> scores = store["scores"];
    base::print("The host kept", store["window"].value() ? "the window" : "no window", "and",
                scores && scores->asArray() ? scores->asArray()->size() : 0, "scores");
    store["visits"] = PaddockValue::integer(visits + 1);
    store["scores"].modify([](std::optional<PaddockValue>& scores) {
        if (!scores || !scores->asArray()) scores = PaddockValue::array({});
        scores->asMutableArray()->push_back(PaddockValue::floatingPoint(1.0));
    });
    store["window"] = std::nullopt;

    readOwnSources(page);
    showLiveViews(page, visits + 1);
    requestNavigation(page);

    base::print("The host says the page is", statusText(page.assessmentStatus()));
    page.setAssessmentStatus(PaddockPage::AssessmentStatus::pass("Every visit counted."));
    // Showing a live view asked the host to keep the page running; it is done.
    page.finishExecution();
}
