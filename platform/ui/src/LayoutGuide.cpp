#include "Corral/ui/LayoutGuide.h"

#include "Corral/ui/View.h"
#include "LayoutItemDescription.h"

namespace ui {

base::Ref<LayoutGuide> LayoutGuide::make() { return std::make_shared<LayoutGuide>(); }

LayoutGuide::~LayoutGuide() = default;

Rect LayoutGuide::layoutFrame() const {
    auto owner = owningView();
    if (safeArea_ && owner) return insetRect(owner->bounds(), owner->safeAreaInsets());
    return frame_;
}

std::string LayoutGuide::className() const { return "ui::LayoutGuide"; }

std::string LayoutGuide::description() const {
    return detail::describeLayoutItem(
               std::const_pointer_cast<base::Object>(weak_from_this().lock())) +
           " " + describeRect(layoutFrame());
}

base::WeakRef<base::Object> LayoutGuide::anchorItem() const {
    return std::const_pointer_cast<base::Object>(weak_from_this().lock());
}

}  // namespace ui
