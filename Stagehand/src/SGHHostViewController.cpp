#include "Corral/Stagehand/SGHHostViewController.h"

#include <utility>

#include "Corral/Stagehand/SGHostingView.h"
#include "Corral/base/Exception.h"
#include "Corral/base/Runtime.h"
#include "Corral/ui/LayoutAnchor.h"
#include "Corral/ui/LayoutConstraint.h"
#include "Corral/ui/View.h"

namespace {

base::Class makeRuntimeClass() {
    base::Class cls(SGHHostViewController::runtimeName);
    cls.classMethod("new", [](std::span<const base::ObjectRef>) -> base::ObjectRef {
        return SGHHostViewController::make();
    });
    return cls;
}

[[maybe_unused]] const bool runtimeClassRegistered =
    base::Runtime::shared().registerClass(makeRuntimeClass());

}  // namespace

SGHHostViewController::SGHHostViewController() = default;

SGHHostViewController::~SGHHostViewController() = default;

void SGHHostViewController::init() { ViewController::initWithNibName(std::nullopt, nullptr); }

void SGHHostViewController::initWithNibName(std::optional<std::string>, base::Ref<ui::Bundle>) {
    init();
}

void SGHHostViewController::initWithCoder(ui::Coder&) {
    base::raiseInvalidArgument("SGHHostViewController does not support Archivance");
}

void SGHHostViewController::loadView() {
    setView(SGHostingView::make());
    if (liveView()) setUpLiveView();
}

void SGHHostViewController::setLiveView(base::Ref<ui::ViewController> liveView) {
    if (liveView == liveView_) return;
    auto old = std::exchange(liveView_, std::move(liveView));
    if (!isViewLoaded()) return;
    if (old) {
        old->willMoveToParentViewController(nullptr);
        // A live view that was installed has its view loaded; one that was
        // not is in no superview, so there is nothing to load or remove.
        if (auto oldView = old->viewIfLoaded()) oldView->removeFromSuperview();
        old->removeFromParentViewController();
    }
    if (liveView_) setUpLiveView();
}

void SGHHostViewController::setUpLiveView() {
    // The live view is read through the getter at each step, so that a
    // subclass that overrides the getter is followed throughout.
    addChildViewController(liveView());
    liveView()->view()->setTranslatesAutoresizingMaskIntoConstraints(false);
    view()->addSubview(liveView()->view());
    auto container = view();
    auto live = liveView()->view();
    ui::LayoutConstraint::activateConstraints({
        container->topAnchor()->constraintEqualToAnchor(live->topAnchor()),
        container->bottomAnchor()->constraintEqualToAnchor(live->bottomAnchor()),
        container->leadingAnchor()->constraintEqualToAnchor(live->leadingAnchor()),
        container->trailingAnchor()->constraintEqualToAnchor(live->trailingAnchor()),
    });
    liveView()->didMoveToParentViewController(std::static_pointer_cast<ui::ViewController>(self()));
}
