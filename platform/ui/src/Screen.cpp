#include "Corral/ui/Screen.h"

#include <algorithm>
#include <cmath>

#include "Corral/base/Exception.h"
#include "Corral/ui/TransitionCoordinator.h"
#include "Corral/ui/ViewController.h"
#include "Corral/ui/Window.h"

namespace ui {

base::Ref<Screen> Screen::mainScreen() {
    // Never destroyed, so that windows released during exit can still detach.
    static const auto* screen =
        new base::Ref<Screen>(std::make_shared<Screen>(Rect{0, 0, 1024, 768}));
    return *screen;
}

Screen::Screen(Rect bounds) : bounds_(bounds) {}

Screen::~Screen() = default;

void Screen::setBounds(Rect bounds) {
    for (double number :
         {bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height}) {
        if (!std::isfinite(number)) base::raiseInvalidArgument("screen bounds must be finite");
    }
    if (bounds.size.width < 0 || bounds.size.height < 0) {
        base::raiseInvalidArgument("screen sizes cannot be negative");
    }
    if (bounds == bounds_) return;
    Rect old = bounds_;
    bounds_ = bounds;
    for (const auto& window : windows()) {
        if (window->frame() != old) continue;
        auto coordinator = TransitionCoordinator::make(old.size, bounds.size);
        if (auto controller = window->rootViewController()) {
            controller->viewWillTransitionToSize(bounds.size, coordinator);
        }
        window->setFrame(bounds);
        coordinator->runAnimations();
        window->layoutIfNeeded();
        coordinator->runCompletions();
    }
}

void Screen::setSafeAreaInsets(EdgeInsets insets) {
    for (double number : {insets.top, insets.left, insets.bottom, insets.right}) {
        if (!std::isfinite(number) || number < 0) {
            base::raiseInvalidArgument("safe-area insets must be finite and not negative");
        }
    }
    safeAreaInsets_ = insets;
    for (const auto& window : windows()) window->setNeedsLayout();
}

std::vector<base::Ref<Window>> Screen::windows() const {
    std::vector<base::Ref<Window>> list;
    for (Window* window : windows_) {
        if (auto object = window->weak_from_this().lock()) {
            list.push_back(std::static_pointer_cast<Window>(object));
        }
    }
    return list;
}

void Screen::attach(Window* window) { windows_.push_back(window); }

void Screen::detach(Window* window) { std::erase(windows_, window); }

}  // namespace ui
