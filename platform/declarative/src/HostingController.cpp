#include "Corral/declarative/HostingController.h"

#include "Corral/declarative/HostingView.h"
#include "Corral/ui/Screen.h"

namespace declarative {

HostingController::HostingController(AnyView rootView) : rootView_(std::move(rootView)) {}

void HostingController::setRootView(AnyView rootView) {
    rootView_ = std::move(rootView);
    if (auto hosting = std::dynamic_pointer_cast<HostingView>(viewIfLoaded())) {
        hosting->setRootView(rootView_);
    }
}

void HostingController::loadView() {
    auto view = HostingView::make(rootView_);
    view->setFrame(ui::Screen::mainScreen()->bounds());
    setView(view);
}

}  // namespace declarative
