// Writes the key-value store as fast as it can, so that the host is nearly
// always saving: the tests kill the host at random moments.
#include <string>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    auto& store = PaddockKeyValueStore::current();
    store["payload"] = PaddockValue::string(std::string(20000, 'x'));
    for (std::int64_t i = 1; i <= 1000000; ++i) store["count"] = PaddockValue::integer(i);
}
