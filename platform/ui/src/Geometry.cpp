#include "ui/Geometry.h"

#include <algorithm>
#include <charconv>

namespace ui {

Rect insetRect(Rect rect, EdgeInsets insets) noexcept {
    double x = rect.origin.x + insets.left;
    double y = rect.origin.y + insets.top;
    double width = rect.size.width - insets.left - insets.right;
    double height = rect.size.height - insets.top - insets.bottom;
    return {x, y, std::max(width, 0.0), std::max(height, 0.0)};
}

namespace {
std::string number(double value) {
    if (value == 0) value = 0;  // no "-0"
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
}  // namespace

std::string describeRect(Rect rect) {
    return "(" + number(rect.origin.x) + ", " + number(rect.origin.y) + ", " +
           number(rect.size.width) + ", " + number(rect.size.height) + ")";
}

}  // namespace ui
