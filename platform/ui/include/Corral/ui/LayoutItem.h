#pragma once
// Something constraints can position: a view or a layout guide. It hands
// out anchors for its edges, centres and dimensions; each anchor refers to
// the item weakly, so holding an anchor or a constraint does not keep the
// item alive.

#include "Corral/base/Object.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class LayoutXAxisAnchor;
class LayoutYAxisAnchor;
class LayoutDimension;

class UI_EXPORT LayoutItem {
public:
    virtual ~LayoutItem();

    // Leading and trailing follow the application's layout direction: in a
    // right-to-left layout the leading edge is the right edge.
    base::Ref<LayoutXAxisAnchor> leadingAnchor() const;
    base::Ref<LayoutXAxisAnchor> trailingAnchor() const;
    base::Ref<LayoutXAxisAnchor> leftAnchor() const;
    base::Ref<LayoutXAxisAnchor> rightAnchor() const;
    base::Ref<LayoutXAxisAnchor> centerXAnchor() const;
    base::Ref<LayoutYAxisAnchor> topAnchor() const;
    base::Ref<LayoutYAxisAnchor> bottomAnchor() const;
    base::Ref<LayoutYAxisAnchor> centerYAnchor() const;
    base::Ref<LayoutDimension> widthAnchor() const;
    base::Ref<LayoutDimension> heightAnchor() const;

protected:
    // This item as the object its anchors refer to.
    virtual base::WeakRef<base::Object> anchorItem() const = 0;
};

}  // namespace ui
