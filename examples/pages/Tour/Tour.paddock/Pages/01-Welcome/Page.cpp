// Tour, page 1: greets the learner and moves on. On a second visit (the
// practice page sends the learner back) it goes straight to the summary.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    auto& store = PaddockKeyValueStore::current();
    if (store["practised"].value()) {
        base::print("Welcome back: on to the summary.");
        page.navigateTo(PaddockPage::PageNavigation::pageReference("Summary"));
        return;
    }
    base::print("Welcome to the tour.");
    page.navigateTo(PaddockPage::PageNavigation::next());
}
