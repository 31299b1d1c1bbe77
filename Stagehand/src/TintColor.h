#pragma once
// The tint colour of the application shell's window.

#include "Corral/base/Object.h"
#include "Corral/ui/Color.h"

namespace stagehand {

// One colour for the whole process (red 254/255, green 75/255, blue 38/255,
// opaque), made on first use.
const base::Ref<ui::Color>& tintColor();

}  // namespace stagehand
