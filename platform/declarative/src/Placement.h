#pragma once
// Small geometry helpers for laying out declarative content.

#include <algorithm>

#include "Corral/ui/Geometry.h"

namespace declarative::detail {

// A rect of `size` (shrunk to fit) centred in `region`.
inline ui::Rect centredIn(ui::Size size, ui::Rect region) {
    double width = std::min(size.width, region.width());
    double height = std::min(size.height, region.height());
    return {region.minX() + (region.width() - width) / 2,
            region.minY() + (region.height() - height) / 2, width, height};
}

}  // namespace declarative::detail
