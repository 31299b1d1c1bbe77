// Puts a live view of its own in place of its remote live view at once,
// then gives the remote one half a second to draw itself before it ends.
#include <chrono>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"
#include "Corral/ui/UI.h"

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    auto own = ui::View::make({{0, 0}, {100, 100}});
    own->setBackgroundColor(ui::Color::colorWithRed(0, 1, 0));
    page.setLiveView(own);
    page.waitUntil([] { return false; }, std::chrono::milliseconds(500));
    page.setNeedsIndefiniteExecution(false);
    base::print("done");
}
