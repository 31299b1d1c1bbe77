#include "Corral/ui/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Corral/base/Exception.h"
#include "Corral/ui/Color.h"
#include "Corral/ui/LayoutAnchor.h"
#include "Corral/ui/LayoutConstraint.h"
#include "Corral/ui/LayoutGuide.h"
#include "Corral/ui/ViewController.h"
#include "Corral/ui/Window.h"
#include "LayoutEngine.h"
#include "LayoutItemDescription.h"
#include "ViewAppearance.h"

namespace ui {

namespace {

void requireValid(Rect rect) {
    for (double number : {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}) {
        if (!std::isfinite(number)) base::raiseInvalidArgument("view geometry must be finite");
    }
    if (rect.size.width < 0 || rect.size.height < 0) {
        base::raiseInvalidArgument("view sizes cannot be negative");
    }
}

const View& rootOf(const View& view) {
    const View* top = &view;
    while (auto parent = top->superview()) top = parent.get();
    return *top;
}

// Where the point `p` of the view's own coordinates lies in the coordinates
// of the root of its tree; for a window root, in screen coordinates too.
Point toRoot(const View& view, Point p) {
    const View* v = &view;
    while (auto parent = v->superview()) {
        p.x += v->frame().origin.x - v->bounds().origin.x;
        p.y += v->frame().origin.y - v->bounds().origin.y;
        v = parent.get();
    }
    return p;
}

Point rootToScreen(const View& root, Point p) {
    if (dynamic_cast<const Window*>(&root)) {
        p.x += root.frame().origin.x - root.bounds().origin.x;
        p.y += root.frame().origin.y - root.bounds().origin.y;
    }
    return p;
}

}  // namespace

namespace detail {

AppearanceChange::AppearanceChange(const View& subtree, bool wasVisible, bool willBeVisible)
    : appearing_(willBeVisible) {
    if (wasVisible == willBeVisible) return;
    auto collect = [this](const View& view, auto& self) -> void {
        auto controller = view.nextResponder();
        if (auto owner = std::dynamic_pointer_cast<ViewController>(controller)) {
            controllers_.push_back(owner);
        }
        for (const auto& subview : view.subviews()) self(*subview, self);
    };
    collect(subtree, collect);
}

void AppearanceChange::begin() {
    for (const auto& controller : controllers_) controller->beginAppearanceTransition(appearing_);
}

void AppearanceChange::end() {
    for (const auto& controller : controllers_) controller->endAppearanceTransition();
}

}  // namespace detail

base::Ref<View> View::make(Rect frame) { return std::make_shared<View>(frame); }

View::View(Rect frame) : frame_(frame) { requireValid(frame); }

View::~View() = default;

void View::setFrame(Rect frame) {
    requireValid(frame);
    if (frame == frame_) return;
    bool resized = frame.size != frame_.size;
    frame_ = frame;
    if (resized) setNeedsLayout();
    if (auto parent = superview()) parent->setNeedsLayout();
}

void View::setBounds(Rect bounds) {
    requireValid(bounds);
    if (bounds.origin != boundsOrigin_) {
        boundsOrigin_ = bounds.origin;
        setNeedsLayout();
    }
    if (bounds.size != frame_.size) {
        double centerX = frame_.origin.x + frame_.size.width / 2;
        double centerY = frame_.origin.y + frame_.size.height / 2;
        setFrame({centerX - bounds.size.width / 2, centerY - bounds.size.height / 2,
                  bounds.size.width, bounds.size.height});
    }
}

void View::setFrameFromLayout(Rect frame) { frame_ = frame; }

void View::addSubview(const base::Ref<View>& view) {
    if (!view) base::raiseInvalidArgument("cannot add an empty view as a subview");
    if (isDescendantOfView(view)) {
        base::raiseInvalidArgument("cannot add a view to itself or to one of its descendants");
    }
    auto self = std::static_pointer_cast<View>(shared_from_this());
    detail::AppearanceChange change(*view, view->isInVisibleWindow(), isInVisibleWindow());
    change.begin();
    if (view->superview() == self) {
        auto position = std::find(subviews_.begin(), subviews_.end(), view);
        std::rotate(position, position + 1, subviews_.end());
    } else {
        view->detachFromSuperview();
        subviews_.push_back(view);
        view->superview_ = self;
    }
    setNeedsLayout();
    if (view->needsLayout()) view->markTreeNeedsLayout();
    change.end();
}

void View::removeFromSuperview() {
    if (superview_.expired()) return;
    auto self = std::static_pointer_cast<View>(shared_from_this());
    detail::AppearanceChange change(*this, isInVisibleWindow(), false);
    change.begin();
    detachFromSuperview();
    change.end();
}

void View::detachFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    deactivateConstraintsLeaving(*this);
    auto self = std::static_pointer_cast<View>(shared_from_this());
    std::erase(parent->subviews_, self);
    superview_.reset();
    parent->setNeedsLayout();
}

void View::deactivateConstraintsLeaving(const View& leavingRoot) {
    auto leaving = std::static_pointer_cast<View>(
        std::const_pointer_cast<base::Object>(leavingRoot.shared_from_this()));
    auto ties = [&](const base::Ref<LayoutAnchor>& anchor) {
        if (!anchor) return false;
        auto view = detail::layoutItemView(anchor->item());
        return view && view->isDescendantOfView(leaving);
    };
    for (auto holder = leavingRoot.superview(); holder; holder = holder->superview()) {
        std::vector<base::Ref<LayoutConstraint>> cut;
        for (const auto& constraint : holder->constraints_) {
            if (ties(constraint->firstAnchor()) || ties(constraint->secondAnchor())) {
                cut.push_back(constraint);
            }
        }
        LayoutConstraint::deactivateConstraints(cut);
    }
}

bool View::isDescendantOfView(const base::Ref<View>& view) const noexcept {
    if (!view) return false;
    for (const View* v = this; v;) {
        if (v == view.get()) return true;
        auto parent = v->superview_.lock();
        v = parent.get();
    }
    return false;
}

base::Ref<Window> View::window() const {
    const View& root = rootOf(*this);
    auto object = std::const_pointer_cast<base::Object>(root.weak_from_this().lock());
    return std::dynamic_pointer_cast<Window>(object);
}

bool View::isInVisibleWindow() const {
    auto w = window();
    return w && !w->isHidden();
}

Point View::convertPoint(Point point, const base::Ref<View>& view) const {
    Point p = toRoot(*this, point);
    if (!view) return p;
    const View& root = rootOf(*this);
    const View& targetRoot = rootOf(*view);
    if (&root != &targetRoot) {
        p = rootToScreen(root, p);
        Point targetOrigin = rootToScreen(targetRoot, {0, 0});
        p.x -= targetOrigin.x;
        p.y -= targetOrigin.y;
    }
    Point offset = toRoot(*view, {0, 0});
    return {p.x - offset.x, p.y - offset.y};
}

Rect View::convertRect(Rect rect, const base::Ref<View>& view) const {
    return {convertPoint(rect.origin, view), rect.size};
}

base::Ref<Color> View::tintColor() const {
    for (const View* v = this; v;) {
        if (v->tintColor_) return v->tintColor_;
        auto parent = v->superview_.lock();
        v = parent.get();
    }
    static const base::Ref<Color> fallback = Color::colorWithRed(0, 0.4, 0.8, 1);
    return fallback;
}

void View::setHidden(bool hidden) { hidden_ = hidden; }

void View::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    if (translates == translates_) return;
    translates_ = translates;
    setNeedsLayout();
}

EdgeInsets View::safeAreaInsets() const {
    auto w = window();
    if (!w) return {};
    Rect r = convertRect(bounds(), nullptr);
    Rect safe = w->safeRect();
    auto clamp = [](double overlap, double limit) { return std::clamp(overlap, 0.0, limit); };
    return {clamp(safe.minY() - r.minY(), r.height()), clamp(safe.minX() - r.minX(), r.width()),
            clamp(r.maxY() - safe.maxY(), r.height()), clamp(r.maxX() - safe.maxX(), r.width())};
}

base::Ref<LayoutGuide> View::safeAreaLayoutGuide() const {
    if (!safeAreaGuide_) {
        safeAreaGuide_ = LayoutGuide::make();
        safeAreaGuide_->safeArea_ = true;
        safeAreaGuide_->owningView_ = std::static_pointer_cast<View>(
            std::const_pointer_cast<base::Object>(weak_from_this().lock()));
    }
    return safeAreaGuide_;
}

void View::addLayoutGuide(const base::Ref<LayoutGuide>& guide) {
    if (!guide || guide->safeArea_) {
        base::raiseInvalidArgument("only a plain layout guide can be added to a view");
    }
    auto self = std::static_pointer_cast<View>(shared_from_this());
    if (guide->owningView() == self) return;
    if (auto owner = guide->owningView()) owner->removeLayoutGuide(guide);
    guides_.push_back(guide);
    guide->owningView_ = self;
    setNeedsLayout();
}

void View::removeLayoutGuide(const base::Ref<LayoutGuide>& guide) {
    auto position = std::find(guides_.begin(), guides_.end(), guide);
    if (position == guides_.end()) return;
    for (View* holder = this; holder;) {
        std::vector<base::Ref<LayoutConstraint>> cut;
        for (const auto& constraint : holder->constraints_) {
            const auto& second = constraint->secondAnchor();
            if (constraint->firstAnchor()->item() == guide || (second && second->item() == guide)) {
                cut.push_back(constraint);
            }
        }
        LayoutConstraint::deactivateConstraints(cut);
        auto parent = holder->superview_.lock();
        holder = parent.get();
    }
    guides_.erase(position);
    guide->owningView_.reset();
    setNeedsLayout();
}

void View::setNeedsLayout() {
    needsLayout_ = true;
    markTreeNeedsLayout();
}

void View::markTreeNeedsLayout() {
    for (auto parent = superview(); parent; parent = parent->superview()) {
        parent->subtreeNeedsLayout_ = true;
    }
}

void View::layoutIfNeeded() {
    auto root = std::static_pointer_cast<View>(
        std::const_pointer_cast<base::Object>(rootOf(*this).shared_from_this()));
    if (root->needsLayout()) LayoutEngine::layout(*root);
}

void View::layoutSubviews() {}

std::string View::debugAttributes() const { return {}; }

base::Ref<Responder> View::nextResponder() const {
    auto controller = viewController_.lock();
    if (controller && controller->viewIfLoaded().get() == this) return controller;
    return superview();
}

std::string View::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "(%p) frame ", static_cast<const void*>(this));
    return className() + address + describeRect(frame_);
}

base::WeakRef<base::Object> View::anchorItem() const {
    return std::const_pointer_cast<base::Object>(weak_from_this().lock());
}

}  // namespace ui
