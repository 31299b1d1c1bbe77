// Keeps running, then finishes from a posted work item: the host ends the
// run at once instead of waiting out the library's ten minutes.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"
#include "Corral/base/RunLoop.h"

PADDOCK_PAGE_MAIN() {
    PaddockPage::current().setNeedsIndefiniteExecution(true);
    base::RunLoop::main().post([] {
        base::print("finishing");
        PaddockPage::current().finishExecution();
    });
}
