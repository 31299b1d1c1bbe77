#pragma once
// The library's unified-log handles. Both use the host application's
// reverse-DNS identifier, which hosts announce through the environment
// variable CORRAL_HOST_IDENTIFIER, as subsystem; each is created once, at
// first use, and lives until the process ends.

#include "Corral/base/Log.h"

// Printed text of page code: category "ExecutionExtension.print".
const base::Log& printLogger();

// What the library reports about itself, such as host input it rejected:
// category "Diagnostics".
const base::Log& diagnosticLogger();
