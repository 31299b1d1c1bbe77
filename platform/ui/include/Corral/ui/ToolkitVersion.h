#pragma once
// The version of the running UI toolkit, so that callers can check for a
// feature before using it. Every feature of this toolkit exists since 0.1.

#include <compare>

#include "Corral/ui/UIExport.h"

namespace ui {

struct ToolkitVersion {
    int major = 0;
    int minor = 0;
    friend auto operator<=>(const ToolkitVersion&, const ToolkitVersion&) = default;
};

// The library's own version. The environment variable
// UI_TOOLKIT_VERSION ("major.minor") makes the toolkit report an older
// version, so that a caller's handling of a missing feature can be tried.
UI_EXPORT ToolkitVersion toolkitVersion();
UI_EXPORT bool isToolkitVersionAtLeast(ToolkitVersion version);

}  // namespace ui
