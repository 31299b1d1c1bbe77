#include "Corral/declarative/Stack.h"

#include <algorithm>
#include <cmath>

#include "Corral/base/Exception.h"
#include "Corral/ui/Application.h"
#include "Corral/ui/View.h"
#include "Placement.h"

namespace declarative {

namespace {

enum class Axis { horizontal, vertical };

double along(ui::Size size, Axis axis) {
    return axis == Axis::horizontal ? size.width : size.height;
}
double across(ui::Size size, Axis axis) {
    return axis == Axis::horizontal ? size.height : size.width;
}
ui::Size sizeOf(double alongLength, double acrossLength, Axis axis) {
    return axis == Axis::horizontal ? ui::Size{alongLength, acrossLength}
                                    : ui::Size{acrossLength, alongLength};
}

class StackNode final : public Node {
public:
    StackNode(Axis axis, std::vector<AnyView> children, double spacing)
        : axis_(axis), children_(std::move(children)), spacing_(spacing) {}

    ui::Size sizeThatFits(ui::Size proposal) const override {
        const double crossLength = across(proposal, axis_);
        auto lengths = allocate(along(proposal, axis_), crossLength);
        double total = gaps();
        double widest = 0;
        for (std::size_t i = 0; i < children_.size(); ++i) {
            total += lengths[i];
            widest = std::max(
                widest,
                across(children_[i].sizeThatFits(sizeOf(lengths[i], crossLength, axis_)), axis_));
        }
        return sizeOf(total, widest, axis_);
    }

    void build(ui::View& container, ui::Rect frame) const override {
        const double crossLength = across(frame.size, axis_);
        auto lengths = allocate(along(frame.size, axis_), crossLength);
        const bool mirrored = axis_ == Axis::horizontal &&
                              ui::Application::shared()->userInterfaceLayoutDirection() ==
                                  ui::UserInterfaceLayoutDirection::rightToLeft;
        double position = 0;
        for (std::size_t i = 0; i < children_.size(); ++i) {
            double wanted =
                across(children_[i].sizeThatFits(sizeOf(lengths[i], crossLength, axis_)), axis_);
            double crossSize = std::min(wanted, crossLength);
            double crossOffset = (crossLength - crossSize) / 2;
            ui::Rect slot;
            if (axis_ == Axis::horizontal) {
                double x =
                    mirrored ? frame.maxX() - position - lengths[i] : frame.minX() + position;
                slot = {x, frame.minY() + crossOffset, lengths[i], crossSize};
            } else {
                slot = {frame.minX() + crossOffset, frame.minY() + position, crossSize, lengths[i]};
            }
            children_[i].build(container, slot);
            position += lengths[i] + spacing_;
        }
    }

private:
    double gaps() const {
        return children_.empty() ? 0 : spacing_ * static_cast<double>(children_.size() - 1);
    }

    // The length of each child along the stack: children that stretch share
    // what the others leave, on top of the least they need.
    std::vector<double> allocate(double length, double crossLength) const {
        std::vector<double> lengths(children_.size());
        std::vector<bool> stretches(children_.size());
        double used = gaps();
        std::size_t stretching = 0;
        for (std::size_t i = 0; i < children_.size(); ++i) {
            double least = along(children_[i].sizeThatFits(sizeOf(0, crossLength, axis_)), axis_);
            double most =
                along(children_[i].sizeThatFits(sizeOf(length, crossLength, axis_)), axis_);
            stretches[i] = most > least + 1e-9;
            lengths[i] = stretches[i] ? least : most;
            used += lengths[i];
            if (stretches[i]) ++stretching;
        }
        if (stretching > 0) {
            double share = std::max(0.0, length - used) / static_cast<double>(stretching);
            for (std::size_t i = 0; i < children_.size(); ++i) {
                if (stretches[i]) lengths[i] += share;
            }
        }
        return lengths;
    }

    Axis axis_;
    std::vector<AnyView> children_;
    double spacing_;
};

class OverlayNode final : public Node {
public:
    explicit OverlayNode(std::vector<AnyView> children) : children_(std::move(children)) {}

    ui::Size sizeThatFits(ui::Size proposal) const override {
        ui::Size largest;
        for (const auto& child : children_) {
            ui::Size size = child.sizeThatFits(proposal);
            largest = {std::max(largest.width, size.width), std::max(largest.height, size.height)};
        }
        return largest;
    }

    void build(ui::View& container, ui::Rect frame) const override {
        for (const auto& child : children_) {
            child.build(container, detail::centredIn(child.sizeThatFits(frame.size), frame));
        }
    }

private:
    std::vector<AnyView> children_;
};

std::shared_ptr<const Node> stack(Axis axis, std::vector<AnyView> children, double spacing) {
    if (!std::isfinite(spacing) || spacing < 0) {
        base::raiseInvalidArgument("stack spacing must be finite and not negative");
    }
    return std::make_shared<StackNode>(axis, std::move(children), spacing);
}

}  // namespace

Column::Column(std::vector<AnyView> children, double spacing)
    : AnyView(stack(Axis::vertical, std::move(children), spacing)) {}

Row::Row(std::vector<AnyView> children, double spacing)
    : AnyView(stack(Axis::horizontal, std::move(children), spacing)) {}

Overlay::Overlay(std::vector<AnyView> children)
    : AnyView(std::make_shared<OverlayNode>(std::move(children))) {}

}  // namespace declarative
