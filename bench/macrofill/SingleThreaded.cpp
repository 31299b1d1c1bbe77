// macrofill with all of its work on one thread, for the benchmark to set
// beside the usual build in the same runs.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "Macrofill.h"

int main(int argc, char** argv) {
    macrofill::ExpansionThreads oneThread;
    oneThread.secondThreadFrom = std::numeric_limits<std::size_t>::max();
    auto* keep = new std::vector<base::ObjectRef>;
    int status = macrofill::runMacrofill(argc, argv, environ, *keep, oneThread);
    std::fflush(nullptr);
    std::_Exit(status);
}
