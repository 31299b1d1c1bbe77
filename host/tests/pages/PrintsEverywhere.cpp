// Writes to the console every way page code can, ending on a line without
// its newline.
#include <cstdio>
#include <iostream>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    std::printf("from printf %d\n", 1);
    std::puts("from puts");
    std::cout << "from cout" << std::endl;
    std::cerr << "from cerr\n";
    std::fprintf(stderr, "from stderr\n");
    base::print("from print");
    std::printf("a last line without its newline");
}
