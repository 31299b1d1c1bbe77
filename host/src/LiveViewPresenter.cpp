#include "LiveViewPresenter.h"

#include "Corral/PaddockNotifications.h"
#include "Corral/base/Objects.h"
#include "Corral/ui/Application.h"
#include "Corral/ui/Screen.h"
#include "Corral/ui/ViewController.h"
#include "Corral/ui/ViewTreeDump.h"

namespace host {

namespace {
ui::Rect areaFor(bool fullScreen) {
    ui::Rect screen = ui::Screen::mainScreen()->bounds();
    if (!fullScreen) screen.size.width /= 2;
    return screen;
}
}  // namespace

LiveViewPresenter::LiveViewPresenter(std::function<void(const Json&)> send)
    : send_(std::move(send)), window_(ui::Window::make(areaFor(false))) {
    ui::Application::shared();  // the display cycle lays windows out on the main run loop
    window_->setLayoutPassObserver([this](ui::Window&) { sendPicture(); });
    window_->makeKeyAndVisible();
}

LiveViewPresenter::~LiveViewPresenter() { window_->setLayoutPassObserver(nullptr); }

void LiveViewPresenter::show(const base::ObjectRef& userInfo) {
    auto info = base::cast<base::Dictionary>(userInfo);
    auto view = info ? base::cast<ui::View>(info->objectForKey(PaddockNotifications::Key::liveView))
                     : nullptr;
    auto controller = info ? base::cast<ui::ViewController>(
                                 info->objectForKey(PaddockNotifications::Key::liveViewController))
                           : nullptr;
    if (view) {
        controller = ui::ViewController::make();
        controller->setView(view);
    }
    showing_ = controller != nullptr;
    window_->setRootViewController(controller);
    if (!showing_) {
        lastPicture_.clear();
        send_({{"event", "liveViewCleared"}});
        return;
    }
    window_->setNeedsLayout();
    window_->layoutIfNeeded();
}

void LiveViewPresenter::setFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_) return;
    fullScreen_ = fullScreen;
    window_->setFrame(areaFor(fullScreen));
    window_->setNeedsLayout();
    if (!showing_) return;
    lastPicture_.clear();  // the same picture, but the flag changed
    window_->layoutIfNeeded();
}

void LiveViewPresenter::sendPicture() {
    if (!showing_) return;
    std::string picture = ui::svgForViewTree(*window_);
    if (picture == lastPicture_) return;
    lastPicture_ = picture;
    auto size = window_->bounds().size;
    send_({{"event", "liveView"},
           {"svg", std::move(picture)},
           {"width", size.width},
           {"height", size.height},
           {"fullScreen", fullScreen_}});
}

}  // namespace host
