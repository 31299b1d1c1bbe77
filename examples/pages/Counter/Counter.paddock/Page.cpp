// Counter: counts how often this page has been run. The count lives in the
// key-value store, which the host keeps in the page document from run to run.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    auto& store = PaddockKeyValueStore::current();
    std::int64_t runs = 0;
    if (auto saved = store["runs"].value(); saved && saved->asInteger()) runs = *saved->asInteger();
    ++runs;
    store["runs"] = PaddockValue::integer(runs);
    base::print("This page has been run", runs, runs == 1 ? "time." : "times.");
}
