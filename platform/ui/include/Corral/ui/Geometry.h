#pragma once
// Plane geometry of the UI layer: points, sizes and rects (64-bit
// floating-point points, shared with the base library) and edge insets.

#include <string>

#include "Corral/base/Geometry.h"
#include "Corral/ui/UIExport.h"

namespace ui {

using Point = base::Point;
using Size = base::Size;
using Rect = base::Rect;

// Distances inward from each edge of a rect.
struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// The rect shrunk by the insets. Sizes never become negative: an inset
// larger than the rect leaves an empty rect at its clamped position.
UI_EXPORT Rect insetRect(Rect rect, EdgeInsets insets) noexcept;

// "(x, y, width, height)", each number with up to ten significant digits.
UI_EXPORT std::string describeRect(Rect rect);

}  // namespace ui
