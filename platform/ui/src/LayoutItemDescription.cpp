#include "LayoutItemDescription.h"

#include <cstdio>

#include "Corral/ui/LayoutGuide.h"
#include "Corral/ui/View.h"

namespace ui::detail {

namespace {
std::string describeView(const View& view) {
    char address[32];
    std::snprintf(address, sizeof address, "(%p)", static_cast<const void*>(&view));
    return view.className() + address;
}
}  // namespace

std::string describeLayoutItem(const base::ObjectRef& item) {
    if (auto view = base::cast<View>(item)) return describeView(*view);
    if (auto guide = base::cast<LayoutGuide>(item)) {
        auto owner = guide->owningView();
        std::string ownerText = owner ? describeView(*owner) : "no view";
        if (guide->isSafeAreaLayoutGuide()) return "safe area of " + ownerText;
        return "guide '" + guide->identifier() + "' of " + ownerText;
    }
    return item ? item->description() : "(released item)";
}

const char* attributeName(LayoutAttribute attribute) noexcept {
    switch (attribute) {
        case LayoutAttribute::left:
            return "left";
        case LayoutAttribute::right:
            return "right";
        case LayoutAttribute::top:
            return "top";
        case LayoutAttribute::bottom:
            return "bottom";
        case LayoutAttribute::leading:
            return "leading";
        case LayoutAttribute::trailing:
            return "trailing";
        case LayoutAttribute::width:
            return "width";
        case LayoutAttribute::height:
            return "height";
        case LayoutAttribute::centerX:
            return "centerX";
        case LayoutAttribute::centerY:
            return "centerY";
    }
    return "?";
}

base::Ref<View> layoutItemView(const base::ObjectRef& item) {
    if (auto view = base::cast<View>(item)) return view;
    if (auto guide = base::cast<LayoutGuide>(item)) return guide->owningView();
    return nullptr;
}

}  // namespace ui::detail
