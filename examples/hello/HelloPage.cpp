// A page: prints through both print paths, asks to keep running, changes
// its mind, reads the mode the host runs it in, counts its visits in the
// key-value store and marks itself solved.
#include "HelloPage.h"

#include <iostream>

#include "Corral/Corral.h"

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
}  // namespace

void helloPageMain() {
    auto& page = PaddockPage::current();
    base::print("Hello from the page, running in mode", modeName(page.executionMode()));
    std::cout << "std::cout reaches the host's console too: " << 6 * 7 << std::endl;
    page.setNeedsIndefiniteExecution(true);
    page.modifyNeedsIndefiniteExecution([](bool& keepRunning) { keepRunning = !keepRunning; });

    auto& store = page.keyValueStore();
    std::optional<PaddockValue> name = store["name"];
    std::int64_t visits = 0;
    if (auto saved = store["visits"].value(); saved && saved->asInteger()) visits = *saved->asInteger();
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

    base::print("The host says the page is", statusText(page.assessmentStatus()));
    page.setAssessmentStatus(PaddockPage::AssessmentStatus::pass("Every visit counted."));
}
