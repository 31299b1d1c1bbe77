// Tour, page 2: does the exercise, notes it in the store that every page of
// the document shares, and sends the learner back to the first page.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    int sum = 0;
    for (int i = 1; i <= 10; ++i) sum += i;
    base::print("1 + 2 + ... + 10 =", sum);
    PaddockKeyValueStore::current()["practised"] = PaddockValue::boolean(true);
    PaddockPage::current().navigateTo(PaddockPage::PageNavigation::previous());
}
