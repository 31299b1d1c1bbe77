// Listens to its remote live view until the connection closes, printing
// every message it receives and the close its proxy's delegate hears.
#include <chrono>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

namespace {
class Listener : public PaddockRemoteLiveViewProxyDelegate {
public:
    void proxy(const base::Ref<PaddockRemoteLiveViewProxy>&, const PaddockValue& message) override {
        base::print("received:", message.asString() ? *message.asString() : "a value");
    }
    void proxyConnectionDidClose(const base::Ref<PaddockRemoteLiveViewProxy>&) override {
        closed = true;
        base::print("the proxy's delegate heard the close");
    }
    bool closed = false;
};
}  // namespace

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    auto live = page.liveView();
    auto remote = live ? live->as<PaddockRemoteLiveViewProxy>() : nullptr;
    if (!remote) return;
    auto listener = std::make_shared<Listener>();
    remote->setDelegate(listener);
    remote->send(PaddockValue::string("hello"));
    page.waitUntil([&] { return listener->closed; }, std::chrono::seconds(20));
    base::print(page.liveView() ? "the live view is still there" : "the live view is gone");
}
