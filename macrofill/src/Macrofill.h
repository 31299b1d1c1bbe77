#pragma once
// The macrofill command: reads a property list, expands the build-setting
// references in its strings with definitions from a build-settings property
// list and/or the environment, and writes it back in the format it came in.

#include <vector>

#include "Corral/base/Object.h"
#include "PropertyListExpansion.h"

namespace macrofill {

// Runs the command with the process's arguments and environment (a null-
// terminated "NAME=value" list) and returns the exit status. The property
// lists it read and made are left in `keep`, for a caller that is about to
// end the process and need not spend time taking them apart. `threads`
// says how the expansion spreads its work.
int runMacrofill(int argc, const char* const* argv, const char* const* environment,
                 std::vector<base::ObjectRef>& keep, const ExpansionThreads& threads = {});

}  // namespace macrofill
