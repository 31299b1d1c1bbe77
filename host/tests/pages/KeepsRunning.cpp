// Asks to keep running and returns: the host keeps its run loop going.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    base::print("keeping the page alive");
    PaddockPage::current().setNeedsIndefiniteExecution(true);
}
