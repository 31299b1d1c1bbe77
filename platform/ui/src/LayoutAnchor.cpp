#include "Corral/ui/LayoutAnchor.h"

#include "Corral/base/Exception.h"
#include "Corral/ui/LayoutConstraint.h"
#include "LayoutItemDescription.h"

namespace ui {

LayoutAnchor::LayoutAnchor(base::WeakRef<base::Object> item, LayoutAttribute attribute)
    : item_(std::move(item)), attribute_(attribute) {}

LayoutAnchor::~LayoutAnchor() = default;

std::string LayoutAnchor::className() const { return "ui::LayoutAnchor"; }

std::string LayoutAnchor::description() const {
    return detail::describeLayoutItem(item()) + "." + detail::attributeName(attribute_);
}

base::Ref<LayoutConstraint> LayoutAnchor::constraintTo(const base::Ref<LayoutAnchor>& other,
                                                       double multiplier, double constant) {
    if (!other) base::raiseInvalidArgument("a constraint needs an anchor to relate to");
    auto self = std::static_pointer_cast<LayoutAnchor>(shared_from_this());
    return std::make_shared<LayoutConstraint>(self, other, multiplier, constant);
}

base::Ref<LayoutConstraint> LayoutXAxisAnchor::constraintEqualToAnchor(
    const base::Ref<LayoutXAxisAnchor>& anchor, double constant) {
    return constraintTo(anchor, 1, constant);
}

base::Ref<LayoutConstraint> LayoutYAxisAnchor::constraintEqualToAnchor(
    const base::Ref<LayoutYAxisAnchor>& anchor, double constant) {
    return constraintTo(anchor, 1, constant);
}

base::Ref<LayoutConstraint> LayoutDimension::constraintEqualToAnchor(
    const base::Ref<LayoutDimension>& anchor, double constant) {
    return constraintTo(anchor, 1, constant);
}

base::Ref<LayoutConstraint> LayoutDimension::constraintEqualToAnchor(
    const base::Ref<LayoutDimension>& anchor, Multiplier multiplier, double constant) {
    return constraintTo(anchor, multiplier.value, constant);
}

base::Ref<LayoutConstraint> LayoutDimension::constraintEqualToConstant(double constant) {
    auto self = std::static_pointer_cast<LayoutAnchor>(shared_from_this());
    return std::make_shared<LayoutConstraint>(self, nullptr, 0, constant);
}

}  // namespace ui
