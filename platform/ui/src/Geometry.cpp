#include "Corral/ui/Geometry.h"

#include <algorithm>

#include "NumberText.h"

namespace ui {

Rect insetRect(Rect rect, EdgeInsets insets) noexcept {
    double x = rect.origin.x + insets.left;
    double y = rect.origin.y + insets.top;
    double width = rect.size.width - insets.left - insets.right;
    double height = rect.size.height - insets.top - insets.bottom;
    return {x, y, std::max(width, 0.0), std::max(height, 0.0)};
}

std::string describeRect(Rect rect) {
    return "(" + detail::numberText(rect.origin.x) + ", " + detail::numberText(rect.origin.y) +
           ", " + detail::numberText(rect.size.width) + ", " +
           detail::numberText(rect.size.height) + ")";
}

}  // namespace ui
