// Writes to the store, and sends to its live view, a value built by doubling
// one array 22 times: cheap to build, since each level shares the one
// below, but 4,194,304 leaves when spelled out as a tree. Then it writes and
// sends small values, to show that the store and the connection still work.
#include <chrono>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"
#include "RemoteLiveView.h"

PADDOCK_PAGE_MAIN() {
    auto value = PaddockValue::array({PaddockValue::string("leaf")});
    for (int level = 0; level < 22; ++level) value = PaddockValue::array({value, value});

    auto& store = PaddockKeyValueStore::current();
    store["shared"] = value;
    store["small"] = PaddockValue::integer(1);
    base::print("the store", store["shared"].value() ? "holds" : "does not hold",
                "the shared value");

    auto remote = test_pages::listenToRemoteLiveView(false);
    if (!remote.proxy) return;
    remote.proxy->send(value);
    remote.proxy->send(PaddockValue::string("small"));
    const auto& answers = remote.listener->messages;
    PaddockPage::current().waitUntil([&] { return !answers.empty(); }, std::chrono::seconds(20));
    base::print("the live view answered:",
                !answers.empty() && answers[0].asString() ? *answers[0].asString() : "nothing");
}
