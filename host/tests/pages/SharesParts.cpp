// Writes to the store, and sends to its live view, a value built by doubling
// one array 22 times: cheap to build, since each level shares the one
// below, but 4,194,304 leaves when spelled out as a tree. Then it writes and
// sends small values, to show that the store and the connection still work.
#include <chrono>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

namespace {
class Listener : public PaddockRemoteLiveViewProxyDelegate {
public:
    void proxy(const base::Ref<PaddockRemoteLiveViewProxy>&, const PaddockValue& message) override {
        if (auto text = message.asString()) reply = *text;
    }
    void proxyConnectionDidClose(const base::Ref<PaddockRemoteLiveViewProxy>&) override {}
    std::string reply;
};
}  // namespace

PADDOCK_PAGE_MAIN() {
    auto value = PaddockValue::array({PaddockValue::string("leaf")});
    for (int level = 0; level < 22; ++level) value = PaddockValue::array({value, value});

    auto& store = PaddockKeyValueStore::current();
    store["shared"] = value;
    store["small"] = PaddockValue::integer(1);
    base::print("the store", store["shared"].value() ? "holds" : "does not hold",
                "the shared value");

    auto& page = PaddockPage::current();
    auto live = page.liveView();
    auto remote = live ? live->as<PaddockRemoteLiveViewProxy>() : nullptr;
    if (!remote) return;
    auto listener = std::make_shared<Listener>();
    remote->setDelegate(listener);
    remote->send(value);
    remote->send(PaddockValue::string("small"));
    page.waitUntil([&] { return !listener->reply.empty(); }, std::chrono::seconds(20));
    base::print("the live view answered:", listener->reply);
}
