#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Macrofill.h"

int main(int argc, char** argv) {
    // The property lists may be large. The process ends without taking them
    // apart: the system reclaims the memory at once.
    auto* keep = new std::vector<base::ObjectRef>;
    int status = macrofill::runMacrofill(argc, argv, environ, *keep);
    std::fflush(nullptr);
    std::_Exit(status);
}
