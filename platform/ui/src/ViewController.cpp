#include "Corral/ui/ViewController.h"

#include <algorithm>

#include "Corral/base/Exception.h"
#include "Corral/base/String.h"
#include "Corral/ui/Bundle.h"
#include "Corral/ui/Coder.h"
#include "Corral/ui/Screen.h"
#include "Corral/ui/TransitionCoordinator.h"
#include "Corral/ui/View.h"

namespace ui {

namespace {
constexpr const char* nibNameKey = "nibName";
constexpr const char* nibBundleKey = "nibBundlePath";
constexpr const char* titleKey = "title";
}  // namespace

ViewController::ViewController() = default;

ViewController::~ViewController() = default;

void ViewController::init() { initWithNibName(std::nullopt, nullptr); }

void ViewController::initWithNibName(std::optional<std::string> nibName, base::Ref<Bundle> bundle) {
    nibName_ = std::move(nibName);
    nibBundle_ = std::move(bundle);
}

void ViewController::initWithCoder(Coder& coder) {
    auto nibName = coder.decodeStringForKey(nibNameKey);
    auto bundlePath = coder.decodeStringForKey(nibBundleKey);
    auto title = coder.decodeStringForKey(titleKey);
    initWithNibName(std::move(nibName), bundlePath ? Bundle::make(*bundlePath) : nullptr);
    title_ = title.value_or("");
}

void ViewController::encodeWithCoder(Coder& coder) const {
    if (nibName_) coder.encodeObject(base::String::make(*nibName_), nibNameKey);
    if (nibBundle_) coder.encodeObject(base::String::make(nibBundle_->path()), nibBundleKey);
    if (!title_.empty()) coder.encodeObject(base::String::make(title_), titleKey);
}

base::Ref<View> ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) base::fatalError("ui/ViewController", __LINE__, "loadView() must set a view");
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(base::Ref<View> view) {
    if (view == view_) return;
    if (view_ && view_->viewController_.lock().get() == this) view_->viewController_.reset();
    view_ = std::move(view);
    if (view_) {
        view_->viewController_ = std::static_pointer_cast<ViewController>(weak_from_this().lock());
    }
}

void ViewController::loadViewIfNeeded() { view(); }

void ViewController::loadView() {
    if (nibName_) {
        base::raiseInvalidArgument("cannot load the nib named \"" + *nibName_ +
                                   "\": this toolkit has no nib loader");
    }
    setView(View::make(Screen::mainScreen()->bounds()));
}

void ViewController::viewDidLoad() {}
void ViewController::viewWillAppear(bool) {}
void ViewController::viewDidAppear(bool) {}
void ViewController::viewWillDisappear(bool) {}
void ViewController::viewDidDisappear(bool) {}

void ViewController::viewWillTransitionToSize(Size size,
                                              const base::Ref<TransitionCoordinator>& coordinator) {
    auto children = children_;
    for (const auto& child : children) child->viewWillTransitionToSize(size, coordinator);
}

bool ViewController::prefersStatusBarHidden() const { return false; }

void ViewController::addChildViewController(const base::Ref<ViewController>& child) {
    if (!child) base::raiseInvalidArgument("cannot add an empty child view controller");
    for (auto ancestor = std::static_pointer_cast<ViewController>(shared_from_this()); ancestor;
         ancestor = ancestor->parentViewController()) {
        if (ancestor == child) {
            base::raiseInvalidArgument(
                "cannot add a view controller as a child of itself or of its descendant");
        }
    }
    auto self = std::static_pointer_cast<ViewController>(shared_from_this());
    if (child->parentViewController() == self) return;
    child->removeFromParentViewController();
    child->willMoveToParentViewController(self);
    children_.push_back(child);
    child->parent_ = self;
}

void ViewController::removeFromParentViewController() {
    auto parent = parentViewController();
    if (!parent) return;
    auto self = std::static_pointer_cast<ViewController>(shared_from_this());
    std::erase(parent->children_, self);
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

void ViewController::willMoveToParentViewController(const base::Ref<ViewController>&) {}
void ViewController::didMoveToParentViewController(const base::Ref<ViewController>&) {}

base::Ref<Responder> ViewController::nextResponder() const {
    if (view_) {
        if (auto superview = view_->superview()) return superview;
    }
    return parentViewController();
}

void ViewController::beginAppearanceTransition(bool appearing) {
    if (appearing) {
        if (appearance_ == Appearance::appearing || appearance_ == Appearance::appeared) return;
        appearance_ = Appearance::appearing;
        viewWillAppear(false);
    } else {
        if (appearance_ == Appearance::disappearing || appearance_ == Appearance::disappeared) {
            return;
        }
        appearance_ = Appearance::disappearing;
        viewWillDisappear(false);
    }
}

void ViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::appearing) {
        appearance_ = Appearance::appeared;
        viewDidAppear(false);
    } else if (appearance_ == Appearance::disappearing) {
        appearance_ = Appearance::disappeared;
        viewDidDisappear(false);
    }
}

}  // namespace ui
