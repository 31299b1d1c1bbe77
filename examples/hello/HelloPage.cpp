// A page: prints through both print paths, asks to keep running, changes
// its mind, and reads the mode the host runs it in.
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
}  // namespace

void helloPageMain() {
    auto& page = PaddockPage::current();
    base::print("Hello from the page, running in mode", modeName(page.executionMode()));
    std::cout << "std::cout reaches the host's console too: " << 6 * 7 << std::endl;
    page.setNeedsIndefiniteExecution(true);
    page.modifyNeedsIndefiniteExecution([](bool& keepRunning) { keepRunning = !keepRunning; });
}
