#pragma once
// The print forwarder that initializeCorralFramework installs, and the log
// handle it writes to.

#include "base/Log.h"
#include "base/Print.h"

// The process's one log handle for printed text, created at first use.
const base::Log& printLogger();

// A runtime print hook that logs each text, then passes it to `previous`
// (when present) and to the page's console hook (when present).
base::PrintHook makePrintForwarder(std::shared_ptr<const base::PrintHook> previous);
