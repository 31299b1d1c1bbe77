#include "LayoutEngine.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Corral/base/Log.h"
#include "Corral/ui/Application.h"
#include "Corral/ui/LayoutAnchor.h"
#include "Corral/ui/LayoutConstraint.h"
#include "Corral/ui/LayoutGuide.h"
#include "Corral/ui/View.h"
#include "Corral/ui/Window.h"
#include "LayoutItemDescription.h"
#include "LinearSystem.h"

namespace ui {

namespace {

using detail::LinearEquation;
using detail::LinearSolution;
using detail::LinearTerm;

const base::Log& layoutLog() {
    static const base::Log log("ui", "layout");
    return log;
}

constexpr int maxPasses = 8;
constexpr int maxSafeAreaRounds = 4;
constexpr int horizontal = 0;
constexpr int vertical = 1;

// A coordinate in root coordinates: a constant, plus one variable when the
// position or size depends on a solved item. Solved item k has the variables
// 4k (x), 4k + 1 (width), 4k + 2 (y) and 4k + 3 (height), all in one system
// so that a width can depend on a height.
struct Span {
    std::ptrdiff_t variable = -1;
    double constant = 0;
};

struct Box {
    Span origin[2];
    Span size[2];
};

struct Expression {
    std::vector<LinearTerm> terms;
    double constant = 0;

    void add(const Span& span, double factor) {
        if (span.variable >= 0) terms.push_back({static_cast<std::size_t>(span.variable), factor});
        constant += factor * span.constant;
    }
    void add(const Expression& other, double factor) {
        for (const auto& term : other.terms)
            terms.push_back({term.variable, term.coefficient * factor});
        constant += other.constant * factor;
    }
};

int axisOf(LayoutAttribute attribute) {
    switch (attribute) {
        case LayoutAttribute::top:
        case LayoutAttribute::bottom:
        case LayoutAttribute::centerY:
        case LayoutAttribute::height:
            return vertical;
        default:
            return horizontal;
    }
}

Expression anchorExpression(const Box& box, LayoutAttribute attribute, bool rightToLeft) {
    const int axis = axisOf(attribute);
    const Span& origin = box.origin[axis];
    const Span& size = box.size[axis];
    if (attribute == LayoutAttribute::leading) {
        attribute = rightToLeft ? LayoutAttribute::right : LayoutAttribute::left;
    } else if (attribute == LayoutAttribute::trailing) {
        attribute = rightToLeft ? LayoutAttribute::left : LayoutAttribute::right;
    }
    Expression e;
    switch (attribute) {
        case LayoutAttribute::left:
        case LayoutAttribute::top:
            e.add(origin, 1);
            break;
        case LayoutAttribute::right:
        case LayoutAttribute::bottom:
            e.add(origin, 1);
            e.add(size, 1);
            break;
        case LayoutAttribute::centerX:
        case LayoutAttribute::centerY:
            e.add(origin, 1);
            e.add(size, 0.5);
            break;
        default:  // width, height
            e.add(size, 1);
            break;
    }
    return e;
}

// Values within a hair of a multiple of 1/256 are taken as that multiple,
// so that elimination noise does not show up in frames.
double tidy(double value) {
    double snapped = std::round(value * 256) / 256;
    return std::fabs(value - snapped) < 1e-9 ? snapped + 0.0 : value;
}

}  // namespace

// One solve of a tree: builds the equations from the current frames, solves
// both axes and writes the frames back.
class LayoutEngine::Pass {
public:
    explicit Pass(View& root) : root_(root) {
        rightToLeft_ = Application::shared()->userInterfaceLayoutDirection() ==
                       UserInterfaceLayoutDirection::rightToLeft;
        collect(root, -1);
        describeCurrentFrames();
    }

    // Returns false when the safe-area insets of the new frames differ from
    // the ones the equations were built with, so another round is needed.
    bool solveAndApply(std::vector<View*>& resized) {
        std::vector<LinearEquation> equations;
        std::vector<const LayoutConstraint*> sources;
        for (View* view : views_) {
            for (const auto& constraint : view->constraints_)
                addEquation(*constraint, equations, sources);
        }
        LinearSolution solution = detail::solveLinearSystem(equations, current_);
        rejectNegativeSizes(solution);
        report(solution, sources);
        apply(solution, resized);
        for (const auto& [view, insets] : insetsUsed_) {
            if (view->safeAreaInsets() != insets) return false;
        }
        return true;
    }

    const std::vector<std::pair<base::LogLevel, std::string>>& diagnostics() const {
        return diagnostics_;
    }

private:
    struct FreeItem {
        View* view = nullptr;
        LayoutGuide* guide = nullptr;
        std::size_t owner = 0;  // index of the guide's view
    };

    void collect(View& view, std::ptrdiff_t parent) {
        std::size_t index = views_.size();
        views_.push_back(&view);
        parents_.push_back(parent);
        viewIndex_[&view] = index;
        if (parent >= 0 && !view.translates_) addItem({&view, nullptr, index});
        for (const auto& guide : view.guides_) addItem({nullptr, guide.get(), index});
        for (const auto& subview : view.subviews_)
            collect(*subview, static_cast<std::ptrdiff_t>(index));
    }

    void addItem(FreeItem item) {
        const base::Object* key = item.view ? static_cast<const base::Object*>(item.view)
                                            : static_cast<const base::Object*>(item.guide);
        itemIndex_[key] = items_.size();
        items_.push_back(item);
    }

    Point contentOrigin(std::size_t index, const std::vector<Rect>& rects) const {
        const View* view = views_[index];
        return {rects[index].origin.x - view->boundsOrigin_.x,
                rects[index].origin.y - view->boundsOrigin_.y};
    }

    // Root-coordinate rects and boxes of every view and the current value of
    // every variable.
    void describeCurrentFrames() {
        rects_.resize(views_.size());
        boxes_.resize(views_.size());
        rects_[0] = root_.bounds();
        for (int axis : {horizontal, vertical}) {
            boxes_[0].origin[axis].constant =
                axis == horizontal ? rects_[0].minX() : rects_[0].minY();
            boxes_[0].size[axis].constant =
                axis == horizontal ? rects_[0].width() : rects_[0].height();
        }
        for (std::size_t i = 1; i < views_.size(); ++i) {
            auto parent = static_cast<std::size_t>(parents_[i]);
            const View* view = views_[i];
            Point base = contentOrigin(parent, rects_);
            rects_[i] = {base.x + view->frame_.origin.x, base.y + view->frame_.origin.y,
                         view->frame_.size.width, view->frame_.size.height};
            if (auto item = itemIndex_.find(view); item != itemIndex_.end()) {
                boxes_[i] = variableBox(item->second);
                continue;
            }
            // A view that keeps its frame moves with its superview.
            for (int axis : {horizontal, vertical}) {
                double offset = axis == horizontal
                                    ? view->frame_.origin.x - views_[parent]->boundsOrigin_.x
                                    : view->frame_.origin.y - views_[parent]->boundsOrigin_.y;
                boxes_[i].origin[axis] = {boxes_[parent].origin[axis].variable,
                                          boxes_[parent].origin[axis].constant + offset};
                boxes_[i].size[axis].constant =
                    axis == horizontal ? view->frame_.size.width : view->frame_.size.height;
            }
        }
        current_.assign(4 * items_.size(), 0);
        for (std::size_t k = 0; k < items_.size(); ++k) {
            Rect r = currentRect(items_[k]);
            current_[4 * k] = r.minX();
            current_[4 * k + 1] = r.width();
            current_[4 * k + 2] = r.minY();
            current_[4 * k + 3] = r.height();
        }
    }

    static Box variableBox(std::size_t k) {
        Box box;
        for (int axis : {horizontal, vertical}) {
            auto first = static_cast<std::ptrdiff_t>(4 * k + 2 * static_cast<std::size_t>(axis));
            box.origin[axis] = {first, 0};
            box.size[axis] = {first + 1, 0};
        }
        return box;
    }

    Rect currentRect(const FreeItem& item) const {
        if (item.view) return rects_[viewIndex_.at(item.view)];
        Point base = contentOrigin(item.owner, rects_);
        Rect frame = item.guide->frame_;
        return {base.x + frame.minX(), base.y + frame.minY(), frame.width(), frame.height()};
    }

    // The box of a constraint's item, if it belongs to this tree.
    std::optional<Box> boxOf(const base::ObjectRef& item) {
        if (auto found = viewIndex_.find(item.get()); found != viewIndex_.end()) {
            return boxes_[found->second];
        }
        auto guide = base::cast<LayoutGuide>(item);
        if (!guide) return std::nullopt;
        if (auto found = itemIndex_.find(guide.get()); found != itemIndex_.end()) {
            return variableBox(found->second);
        }
        auto owner = guide->owningView();
        if (!guide->safeArea_ || !owner) return std::nullopt;
        auto ownerIndex = viewIndex_.find(owner.get());
        if (ownerIndex == viewIndex_.end()) return std::nullopt;
        EdgeInsets insets = owner->safeAreaInsets();
        insetsUsed_[owner.get()] = insets;
        Box box = boxes_[ownerIndex->second];
        box.origin[horizontal].constant += insets.left;
        box.origin[vertical].constant += insets.top;
        box.size[horizontal].constant -= insets.left + insets.right;
        box.size[vertical].constant -= insets.top + insets.bottom;
        return box;
    }

    void addEquation(const LayoutConstraint& constraint, std::vector<LinearEquation>& equations,
                     std::vector<const LayoutConstraint*>& sources) {
        auto first = boxOf(constraint.firstAnchor()->item());
        std::optional<Box> second;
        if (constraint.secondAnchor()) second = boxOf(constraint.secondAnchor()->item());
        if (!first || (constraint.secondAnchor() && !second)) {
            diagnostics_.emplace_back(base::LogLevel::error,
                                      "Ignoring " + constraint.description() +
                                          ": one of its items is gone or outside this window");
            return;
        }
        LayoutAttribute attribute = constraint.firstAnchor()->attribute();
        Expression e = anchorExpression(*first, attribute, rightToLeft_);
        if (second) {
            e.add(anchorExpression(*second, constraint.secondAnchor()->attribute(), rightToLeft_),
                  -constraint.multiplier());
        }
        e.constant -= constraint.constant();
        equations.push_back({std::move(e.terms), e.constant});
        sources.push_back(&constraint);
    }

    // A solution that gives an item a negative size is treated like a
    // conflict: the item's component keeps its current values.
    void rejectNegativeSizes(LinearSolution& solution) {
        std::set<std::size_t> rejected;
        for (std::size_t v = 1; v < solution.values.size(); v += 2) {
            if (solution.values[v] < -1e-9) rejected.insert(solution.variableComponent[v]);
        }
        for (std::size_t component : rejected) {
            std::vector<std::size_t> members;
            for (std::size_t e = 0; e < solution.equationComponent.size(); ++e) {
                if (solution.equationComponent[e] == component) members.push_back(e);
            }
            solution.conflicts.push_back(std::move(members));
            for (std::size_t v = 0; v < solution.values.size(); ++v) {
                if (solution.variableComponent[v] != component) continue;
                solution.values[v] = current_[v];
                solution.undetermined[v] = false;
            }
        }
    }

    std::string describeItem(std::size_t k) const {
        const FreeItem& item = items_[k];
        base::ObjectRef object =
            item.view ? item.view->weak_from_this().lock() : item.guide->weak_from_this().lock();
        return detail::describeLayoutItem(object);
    }

    void report(const LinearSolution& solution,
                const std::vector<const LayoutConstraint*>& sources) {
        static const char* const variableNames[] = {"x position", "width", "y position", "height"};
        for (const auto& conflict : solution.conflicts) {
            std::string message =
                "Unable to satisfy the constraints (they contradict each other or give a negative "
                "size)";
            std::set<std::size_t> keeping;
            if (!conflict.empty()) {
                std::size_t component = solution.equationComponent[conflict.front()];
                for (std::size_t v = 0; v < solution.values.size(); ++v) {
                    if (component != LinearSolution::noComponent &&
                        solution.variableComponent[v] == component) {
                        keeping.insert(v / 4);
                    }
                }
            }
            if (!keeping.empty()) {
                message += "; these keep their last frames:";
                for (std::size_t k : keeping) message += " " + describeItem(k) + ";";
            }
            message += " constraints:";
            for (std::size_t e : conflict) message += " [" + sources[e]->description() + "]";
            diagnostics_.emplace_back(base::LogLevel::error, message);
        }
        std::string loose;
        for (std::size_t v = 0; v < solution.undetermined.size(); ++v) {
            if (!solution.undetermined[v]) continue;
            loose += std::string(loose.empty() ? "" : ",") + " the " + variableNames[v % 4] +
                     " of " + describeItem(v / 4);
        }
        if (!loose.empty()) {
            diagnostics_.emplace_back(
                base::LogLevel::info,
                "Ambiguous layout: nothing fixes" + loose + "; they keep their current values");
        }
    }

    void apply(const LinearSolution& solution, std::vector<View*>& resized) {
        auto solvedRect = [&](std::size_t k) {
            const auto& v = solution.values;
            return Rect{tidy(v[4 * k]), tidy(v[4 * k + 2]), std::max(0.0, tidy(v[4 * k + 1])),
                        std::max(0.0, tidy(v[4 * k + 3]))};
        };
        std::vector<Rect> rects(views_.size());
        rects[0] = root_.bounds();
        for (std::size_t i = 1; i < views_.size(); ++i) {
            View* view = views_[i];
            Point base = contentOrigin(static_cast<std::size_t>(parents_[i]), rects);
            auto item = itemIndex_.find(view);
            if (item == itemIndex_.end()) {
                rects[i] = {base.x + view->frame_.minX(), base.y + view->frame_.minY(),
                            view->frame_.width(), view->frame_.height()};
                continue;
            }
            rects[i] = solvedRect(item->second);
            Rect frame{rects[i].minX() - base.x, rects[i].minY() - base.y, rects[i].width(),
                       rects[i].height()};
            frame.origin = {tidy(frame.origin.x), tidy(frame.origin.y)};
            if (frame.size != view->frame_.size) resized.push_back(view);
            view->setFrameFromLayout(frame);
        }
        for (std::size_t k = 0; k < items_.size(); ++k) {
            if (!items_[k].guide) continue;
            Rect r = solvedRect(k);
            Point base = contentOrigin(items_[k].owner, rects);
            items_[k].guide->frame_ = {tidy(r.minX() - base.x), tidy(r.minY() - base.y), r.width(),
                                       r.height()};
        }
    }

    View& root_;
    bool rightToLeft_ = false;
    std::vector<View*> views_;
    std::vector<std::ptrdiff_t> parents_;
    std::unordered_map<const base::Object*, std::size_t> viewIndex_;
    std::vector<FreeItem> items_;
    std::unordered_map<const base::Object*, std::size_t> itemIndex_;
    std::vector<Rect> rects_;
    std::vector<Box> boxes_;
    std::vector<double> current_;
    std::unordered_map<const View*, EdgeInsets> insetsUsed_;
    std::vector<std::pair<base::LogLevel, std::string>> diagnostics_;
};

void LayoutEngine::layout(View& root) {
    auto keepAlive = root.shared_from_this();
    for (int pass = 0; pass < maxPasses && root.needsLayout(); ++pass) {
        std::vector<View*> resized;
        std::vector<std::pair<base::LogLevel, std::string>> diagnostics;
        bool settled = false;
        for (int round = 0; round < maxSafeAreaRounds && !settled; ++round) {
            Pass solve(root);
            settled = solve.solveAndApply(resized);
            diagnostics = solve.diagnostics();
        }
        for (const auto& [level, message] : diagnostics) layoutLog().write(level, message);
        if (!settled) {
            layoutLog().write(
                base::LogLevel::error,
                "Safe-area insets kept changing; the layout stops with the last frames");
        }
        // Views that were marked, or that the solve resized, lay out their
        // subviews, parents first. Marks made from now on start another pass.
        std::unordered_set<View*> resizedSet(resized.begin(), resized.end());
        std::vector<base::Ref<View>> pending;
        auto visit = [&](View& view, auto& self) -> void {
            if (view.needsLayout_ || resizedSet.count(&view)) {
                pending.push_back(std::static_pointer_cast<View>(view.shared_from_this()));
            }
            view.needsLayout_ = false;
            view.subtreeNeedsLayout_ = false;
            for (const auto& subview : view.subviews_) self(*subview, self);
        };
        visit(root, visit);
        for (const auto& view : pending) view->layoutSubviews();
    }
    if (root.needsLayout()) {
        layoutLog().write(base::LogLevel::error,
                          "Layout did not settle after " + std::to_string(maxPasses) +
                              " passes: layoutSubviews keeps marking views for layout");
        auto clear = [](View& view, auto& self) -> void {
            view.needsLayout_ = false;
            view.subtreeNeedsLayout_ = false;
            for (const auto& subview : view.subviews_) self(*subview, self);
        };
        clear(root, clear);
    }
    if (auto* window = dynamic_cast<Window*>(&root); window && window->layoutPassObserver_) {
        auto observer = window->layoutPassObserver_;  // may replace itself while it runs
        observer(*window);
    }
}

}  // namespace ui
