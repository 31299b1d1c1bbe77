#include "Corral/ui/LayoutConstraint.h"

#include <algorithm>
#include <cmath>

#include "Corral/base/Exception.h"
#include "Corral/ui/LayoutAnchor.h"
#include "Corral/ui/View.h"
#include "LayoutItemDescription.h"
#include "NumberText.h"

namespace ui {

namespace {

bool isDirectional(LayoutAttribute a) {
    return a == LayoutAttribute::leading || a == LayoutAttribute::trailing;
}

bool isAbsolute(LayoutAttribute a) {
    return a == LayoutAttribute::left || a == LayoutAttribute::right;
}

std::string number(double value) { return detail::numberText(value); }

// The nearest common ancestor of the constraint's items, which will hold it.
base::Ref<View> installationView(const LayoutConstraint& constraint) {
    auto viewOf = [&](const base::Ref<LayoutAnchor>& anchor) {
        auto view = detail::layoutItemView(anchor->item());
        if (!view) {
            base::raiseInvalidArgument("cannot activate " + constraint.description() +
                                       ": an item is gone or is a guide of no view");
        }
        return view;
    };
    auto first = viewOf(constraint.firstAnchor());
    if (!constraint.secondAnchor()) return first;
    auto second = viewOf(constraint.secondAnchor());
    for (auto ancestor = first; ancestor; ancestor = ancestor->superview()) {
        if (second->isDescendantOfView(ancestor)) return ancestor;
    }
    base::raiseInvalidArgument("cannot activate " + constraint.description() +
                               ": its items have no common ancestor");
}

}  // namespace

LayoutConstraint::LayoutConstraint(base::Ref<LayoutAnchor> first, base::Ref<LayoutAnchor> second,
                                   double multiplier, double constant)
    : first_(std::move(first)),
      second_(std::move(second)),
      multiplier_(multiplier),
      constant_(constant) {
    if (!first_) base::raiseInvalidArgument("a constraint needs a first anchor");
    if (!std::isfinite(multiplier) || !std::isfinite(constant)) {
        base::raiseInvalidArgument("constraint multipliers and constants must be finite numbers");
    }
    if (second_) {
        auto a = first_->attribute(), b = second_->attribute();
        if ((isDirectional(a) && isAbsolute(b)) || (isAbsolute(a) && isDirectional(b))) {
            base::raiseInvalidArgument(
                "a leading or trailing anchor cannot be related to a left or right anchor");
        }
    }
}

LayoutConstraint::~LayoutConstraint() = default;

void LayoutConstraint::setConstant(double constant) {
    if (!std::isfinite(constant)) base::raiseInvalidArgument("constraint constants must be finite");
    if (constant == constant_) return;
    constant_ = constant;
    if (auto view = installedView()) view->setNeedsLayout();
}

bool LayoutConstraint::isActive() const noexcept { return !installedOn_.expired(); }

void LayoutConstraint::setActive(bool active) {
    auto self = std::static_pointer_cast<LayoutConstraint>(shared_from_this());
    if (active) {
        activateConstraints({self});
    } else {
        deactivateConstraints({self});
    }
}

void LayoutConstraint::activateConstraints(
    const std::vector<base::Ref<LayoutConstraint>>& constraints) {
    std::vector<base::Ref<View>> targets;
    for (const auto& constraint : constraints) {
        if (!constraint) base::raiseInvalidArgument("cannot activate an empty constraint");
        targets.push_back(constraint->isActive() ? nullptr : installationView(*constraint));
    }
    for (std::size_t i = 0; i < constraints.size(); ++i) {
        if (!targets[i] || constraints[i]->isActive()) continue;
        targets[i]->constraints_.push_back(constraints[i]);
        constraints[i]->installedOn_ = targets[i];
        targets[i]->setNeedsLayout();
    }
}

void LayoutConstraint::deactivateConstraints(
    const std::vector<base::Ref<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) {
        auto view = constraint ? constraint->installedView() : nullptr;
        if (!view) continue;
        std::erase(view->constraints_, constraint);
        constraint->installedOn_.reset();
        view->setNeedsLayout();
    }
}

std::string LayoutConstraint::className() const { return "ui::LayoutConstraint"; }

std::string LayoutConstraint::description() const {
    std::string text = first_->description() + " == ";
    if (!second_) return text + number(constant_);
    text += second_->description();
    if (multiplier_ != 1) text += " * " + number(multiplier_);
    if (constant_ > 0) text += " + " + number(constant_);
    if (constant_ < 0) text += " - " + number(-constant_);
    return text;
}

}  // namespace ui
