#pragma once
// The print forwarder that initializeCorralFramework installs.

#include "Corral/base/Print.h"
#include "CorralLog.h"

// A runtime print hook that logs each text, then passes it to `previous`
// (when present) and to the page's console hook (when present).
base::PrintHook makePrintForwarder(std::shared_ptr<const base::PrintHook> previous);
