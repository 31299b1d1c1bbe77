// Loops forever without letting its run loop turn.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    base::print("spinning");
    volatile unsigned long turns = 0;
    for (;;) turns = turns + 1;
}
