#pragma once
// The macrofill command: reads a property list, expands the build-setting
// references in its strings with definitions from a build-settings property
// list and/or the environment, and writes it back in the format it came in.

namespace macrofill {

// Runs the command with the process's arguments and environment (a null-
// terminated "NAME=value" list) and returns the exit status.
int runMacrofill(int argc, const char* const* argv, const char* const* environment);

}  // namespace macrofill
