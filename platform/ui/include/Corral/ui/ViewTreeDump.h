#pragma once
// Pictures of a view tree for people and tests: one line per view, or an
// SVG drawing. Frames are given in window coordinates.

#include <string>

#include "Corral/ui/UIExport.h"

namespace ui {

class View;

// One line per view, subviews indented by two spaces below their superview:
// "<class> (x, y, width, height)", then "background rgba(...)" when the view
// has a background colour, "hidden" when it is hidden, and the view's
// debugAttributes().
UI_EXPORT std::string dumpViewTree(const View& root);

// An SVG document as large as the root's bounds: one rect per visible view,
// filled with its background colour (outlined when it has none), titled
// with its class, subviews drawn over their superview.
UI_EXPORT std::string svgForViewTree(const View& root);

}  // namespace ui
