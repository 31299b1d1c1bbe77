// A page whose code throws.
#include <stdexcept>

#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() { throw std::runtime_error("learner's bug"); }
