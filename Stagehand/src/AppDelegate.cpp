#include "Corral/Stagehand/AppDelegate.h"

#include "Corral/Stagehand/SGHInitialize.h"
#include "Corral/base/Exception.h"
#include "RootViewController.h"
#include "TintColor.h"

namespace stagehand {

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() = default;

bool AppDelegate::application(ui::Application&, const base::Ref<base::Dictionary>&) {
    // Corral is ready, and its message sender installed, before the window
    // asks the subclass for its live view.
    SGHInitialize();
    window()->makeKeyAndVisible();
    return true;
}

PaddockLiveViewable AppDelegate::setUpLiveView() {
    base::fatalError("Stagehand/AppDelegate", 42,
                     "setUpLiveView() must be overridden to return a live view");
}

LiveViewConfiguration AppDelegate::liveViewConfiguration() const {
    return LiveViewConfiguration::fullScreen;
}

const base::Ref<RootViewController>& AppDelegate::rootViewController() {
    if (!rootViewController_) {
        auto controller = RootViewController::make(liveViewConfiguration());
        controller->setLiveView(setUpLiveView());
        rootViewController_ = std::move(controller);
    }
    return rootViewController_;
}

const base::Ref<ui::Window>& AppDelegate::window() {
    if (!window_) {
        auto window = ui::Window::make();
        window->setTintColor(tintColor());
        window->setRootViewController(rootViewController());
        window_ = std::move(window);
    }
    return window_;
}

}  // namespace stagehand
