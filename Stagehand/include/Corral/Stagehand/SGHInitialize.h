#pragma once
// Prepares Corral in a process that shows a live view: initialises the
// library (printed text is forwarded from then on) and installs a live-view
// message sender that discards every message, so that page code in this
// process can send without a host to carry its messages. Call it once, on
// the main thread, before any live view is created; the application
// delegate does so at launch.

#include "Corral/Stagehand/StagehandExport.h"

extern "C" STAGEHAND_EXPORT void SGHInitialize(void);
