#pragma once
// Anchors: an edge, centre or dimension of a view or layout guide, from
// which equality constraints are made. Horizontal anchors relate only to
// horizontal anchors, vertical to vertical and dimensions to dimensions;
// the types enforce that.

#include <string>

#include "Corral/base/Object.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class LayoutConstraint;

enum class LayoutAttribute {
    left,
    right,
    top,
    bottom,
    leading,
    trailing,
    width,
    height,
    centerX,
    centerY
};

// A factor applied to the second dimension of a constraint, spelled out at
// the call site: width.constraintEqualToAnchor(other, Multiplier(0.5)).
struct Multiplier {
    explicit constexpr Multiplier(double factor) : value(factor) {}
    double value;
};

class UI_EXPORT LayoutAnchor : public base::Object {
public:
    LayoutAnchor(base::WeakRef<base::Object> item, LayoutAttribute attribute);
    ~LayoutAnchor() override;

    LayoutAttribute attribute() const noexcept { return attribute_; }
    // The view or layout guide this anchor belongs to; empty once it is gone.
    base::ObjectRef item() const { return item_.lock(); }

    std::string className() const override;
    // "<item>.<attribute>", such as "ui::View(0x1234).width".
    std::string description() const override;

protected:
    base::Ref<LayoutConstraint> constraintTo(const base::Ref<LayoutAnchor>& other,
                                             double multiplier, double constant);

private:
    base::WeakRef<base::Object> item_;
    LayoutAttribute attribute_;
};

class UI_EXPORT LayoutXAxisAnchor final : public LayoutAnchor {
public:
    using LayoutAnchor::LayoutAnchor;
    // this = anchor + constant. Leading and trailing anchors cannot be
    // related to left and right anchors (InvalidArgumentException).
    base::Ref<LayoutConstraint> constraintEqualToAnchor(const base::Ref<LayoutXAxisAnchor>& anchor,
                                                        double constant = 0);
};

class UI_EXPORT LayoutYAxisAnchor final : public LayoutAnchor {
public:
    using LayoutAnchor::LayoutAnchor;
    // this = anchor + constant.
    base::Ref<LayoutConstraint> constraintEqualToAnchor(const base::Ref<LayoutYAxisAnchor>& anchor,
                                                        double constant = 0);
};

class UI_EXPORT LayoutDimension final : public LayoutAnchor {
public:
    using LayoutAnchor::LayoutAnchor;
    // this = anchor + constant.
    base::Ref<LayoutConstraint> constraintEqualToAnchor(const base::Ref<LayoutDimension>& anchor,
                                                        double constant = 0);
    // this = anchor × multiplier + constant.
    base::Ref<LayoutConstraint> constraintEqualToAnchor(const base::Ref<LayoutDimension>& anchor,
                                                        Multiplier multiplier, double constant = 0);
    // this = constant.
    base::Ref<LayoutConstraint> constraintEqualToConstant(double constant);
};

}  // namespace ui
