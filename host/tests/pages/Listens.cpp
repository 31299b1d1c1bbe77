// Listens to its remote live view until the connection closes, printing
// every message it receives and the close its proxy's delegate hears.
#include <chrono>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"
#include "RemoteLiveView.h"

PADDOCK_PAGE_MAIN() {
    auto remote = test_pages::listenToRemoteLiveView(true);
    if (!remote.proxy) return;
    remote.proxy->send(PaddockValue::string("hello"));
    auto& page = PaddockPage::current();
    page.waitUntil([&] { return remote.listener->closed; }, std::chrono::seconds(20));
    base::print(page.liveView() ? "the live view is still there" : "the live view is gone");
}
