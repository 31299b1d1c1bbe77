// Prints from the destructor of a global object, after corral-host's main
// has returned.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

namespace {
struct SaysGoodbye {
    ~SaysGoodbye() { base::print("goodbye from a static destructor"); }
} goodbye;
}  // namespace

PADDOCK_PAGE_MAIN() { base::print("running"); }
