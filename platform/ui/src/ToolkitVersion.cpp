#include "Corral/ui/ToolkitVersion.h"

#include <cstdio>
#include <cstdlib>

namespace ui {

ToolkitVersion toolkitVersion() {
    ToolkitVersion version{UI_TOOLKIT_VERSION_MAJOR, UI_TOOLKIT_VERSION_MINOR};
    if (const char* pretend = std::getenv("UI_TOOLKIT_VERSION")) {
        ToolkitVersion older;
        if (std::sscanf(pretend, "%d.%d", &older.major, &older.minor) == 2 && older < version) {
            return older;
        }
    }
    return version;
}

bool isToolkitVersionAtLeast(ToolkitVersion version) { return toolkitVersion() >= version; }

}  // namespace ui
