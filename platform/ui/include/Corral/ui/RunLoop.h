#pragma once
// The toolkit runs on the process's one run loop (see base/RunLoop.h): the
// application runs the main loop and lays its windows out whenever the
// queue has been drained.

#include "Corral/base/RunLoop.h"

namespace ui {

using RunLoop = base::RunLoop;

}  // namespace ui
