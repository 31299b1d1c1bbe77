#pragma once
// Short names for views and guides in constraint descriptions and layout
// diagnostics, and the owning view of a constraint's item.

#include <string>

#include "Corral/base/Object.h"
#include "Corral/ui/LayoutAnchor.h"

namespace ui {

class View;

namespace detail {

// "ui::View(0x1234)", "safe area of ui::View(0x1234)", "guide 'name' of ...";
// "(released item)" for an empty reference.
std::string describeLayoutItem(const base::ObjectRef& item);
const char* attributeName(LayoutAttribute attribute) noexcept;
// The view itself, or the view owning a guide; empty for anything else.
base::Ref<View> layoutItemView(const base::ObjectRef& item);

}  // namespace detail
}  // namespace ui
