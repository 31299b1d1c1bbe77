#pragma once
// An equality between two anchors: first = second × multiplier + constant,
// or first = constant for a dimension without a second anchor. A constraint
// takes part in layout while it is active; activating it installs it on the
// nearest common ancestor of its items, which keeps it alive, and marks that
// view as needing layout.

#include <string>
#include <vector>

#include "Corral/base/Object.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class LayoutAnchor;
class View;

class UI_EXPORT LayoutConstraint final : public base::Object {
public:
    // Made by the anchors. Raises InvalidArgumentException for a multiplier
    // or constant that is not finite, and for a leading or trailing anchor
    // related to a left or right one.
    LayoutConstraint(base::Ref<LayoutAnchor> first, base::Ref<LayoutAnchor> second,
                     double multiplier, double constant);
    ~LayoutConstraint() override;

    const base::Ref<LayoutAnchor>& firstAnchor() const noexcept { return first_; }
    // Empty for a constraint that sets a dimension to a constant.
    const base::Ref<LayoutAnchor>& secondAnchor() const noexcept { return second_; }
    double multiplier() const noexcept { return multiplier_; }
    double constant() const noexcept { return constant_; }
    // Changing the constant of an active constraint marks its view for layout.
    void setConstant(double constant);

    bool isActive() const noexcept;
    // Activation raises InvalidArgumentException when an item is gone or the
    // items share no ancestor; the constraint then stays inactive.
    void setActive(bool active);
    // Activates or deactivates every constraint of the list, in list order.
    // Activation checks the whole list first, so a list with one bad
    // constraint activates none.
    static void activateConstraints(const std::vector<base::Ref<LayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<base::Ref<LayoutConstraint>>& constraints);

    // The view the constraint is installed on while it is active.
    base::Ref<View> installedView() const { return installedOn_.lock(); }

    std::string className() const override;
    // "A.width == B.width × 0.5 + 10".
    std::string description() const override;

private:
    friend class View;
    base::Ref<LayoutAnchor> first_;
    base::Ref<LayoutAnchor> second_;
    double multiplier_;
    double constant_;
    base::WeakRef<View> installedOn_;
};

}  // namespace ui
