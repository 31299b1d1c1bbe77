// Prints without end.
#include <cstdio>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    for (unsigned long line = 0;; ++line) std::printf("line %lu of a flood\n", line);
}
