#include "Corral/declarative/AnyView.h"

#include <algorithm>
#include <cmath>

#include "Corral/base/Exception.h"
#include "Corral/ui/Color.h"
#include "Corral/ui/View.h"
#include "Placement.h"

namespace declarative {

Node::~Node() = default;

namespace {

class EmptyNode final : public Node {
public:
    ui::Size sizeThatFits(ui::Size) const override { return {}; }
    void build(ui::View&, ui::Rect) const override {}
};

class PaddingNode final : public Node {
public:
    PaddingNode(AnyView content, ui::EdgeInsets insets)
        : content_(std::move(content)), insets_(insets) {}
    ui::Size sizeThatFits(ui::Size proposal) const override {
        double horizontal = insets_.left + insets_.right;
        double vertical = insets_.top + insets_.bottom;
        ui::Size inner = content_.sizeThatFits({std::max(0.0, proposal.width - horizontal),
                                                std::max(0.0, proposal.height - vertical)});
        return {inner.width + horizontal, inner.height + vertical};
    }
    void build(ui::View& container, ui::Rect frame) const override {
        content_.build(container, ui::insetRect(frame, insets_));
    }

private:
    AnyView content_;
    ui::EdgeInsets insets_;
};

class FrameNode final : public Node {
public:
    FrameNode(AnyView content, std::optional<double> width, std::optional<double> height)
        : content_(std::move(content)), width_(width), height_(height) {}
    ui::Size sizeThatFits(ui::Size proposal) const override {
        ui::Size inner = content_.sizeThatFits(
            {width_.value_or(proposal.width), height_.value_or(proposal.height)});
        return {width_.value_or(inner.width), height_.value_or(inner.height)};
    }
    void build(ui::View& container, ui::Rect frame) const override {
        content_.build(container, detail::centredIn(content_.sizeThatFits(frame.size), frame));
    }

private:
    AnyView content_;
    std::optional<double> width_, height_;
};

class BackgroundNode final : public Node {
public:
    BackgroundNode(AnyView content, base::Ref<ui::Color> color)
        : content_(std::move(content)), color_(std::move(color)) {}
    ui::Size sizeThatFits(ui::Size proposal) const override {
        return content_.sizeThatFits(proposal);
    }
    void build(ui::View& container, ui::Rect frame) const override {
        auto backdrop = ui::View::make(frame);
        backdrop->setBackgroundColor(color_);
        container.addSubview(backdrop);
        content_.build(*backdrop, backdrop->bounds());
    }

private:
    AnyView content_;
    base::Ref<ui::Color> color_;
};

void requireLength(double length) {
    if (!std::isfinite(length) || length < 0) {
        base::raiseInvalidArgument(
            "lengths of declarative content must be finite and not negative");
    }
}

}  // namespace

AnyView::AnyView() : node_(std::make_shared<EmptyNode>()) {}

AnyView::AnyView(std::shared_ptr<const Node> node) : node_(std::move(node)) {
    if (!node_) node_ = std::make_shared<EmptyNode>();
}

AnyView AnyView::padding(double length) const { return padding({length, length, length, length}); }

AnyView AnyView::padding(ui::EdgeInsets insets) const {
    for (double length : {insets.top, insets.left, insets.bottom, insets.right})
        requireLength(length);
    return AnyView(std::make_shared<PaddingNode>(*this, insets));
}

AnyView AnyView::frame(std::optional<double> width, std::optional<double> height) const {
    if (width) requireLength(*width);
    if (height) requireLength(*height);
    return AnyView(std::make_shared<FrameNode>(*this, width, height));
}

AnyView AnyView::background(base::Ref<ui::Color> color) const {
    if (!color) base::raiseInvalidArgument("a background needs a colour");
    return AnyView(std::make_shared<BackgroundNode>(*this, std::move(color)));
}

}  // namespace declarative
