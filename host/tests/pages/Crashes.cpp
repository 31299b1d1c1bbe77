// Prints, writes to the store, then crashes with a plain segmentation fault
// (whatever handler a sanitizer installed is put aside first).
#include <csignal>
#include <cstdio>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    base::print("about to crash");
    PaddockKeyValueStore::current()["beforeTheCrash"] = PaddockValue::string("kept");
    std::printf("half a line");
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
}
