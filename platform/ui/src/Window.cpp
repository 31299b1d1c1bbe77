#include "Corral/ui/Window.h"

#include "Corral/ui/Application.h"
#include "Corral/ui/Screen.h"
#include "Corral/ui/ViewController.h"
#include "ViewAppearance.h"

namespace ui {

base::Ref<Window> Window::make() { return std::make_shared<Window>(); }

base::Ref<Window> Window::make(Rect frame) { return std::make_shared<Window>(frame); }

Window::Window() : Window(Screen::mainScreen()->bounds()) {}

Window::Window(Rect frame) : View(frame) {
    View::setHidden(true);
    Screen::mainScreen()->attach(this);
}

Window::~Window() { Screen::mainScreen()->detach(this); }

base::Ref<Screen> Window::screen() const { return Screen::mainScreen(); }

void Window::setRootViewController(base::Ref<ViewController> controller) {
    if (controller == rootViewController_) return;
    rootViewController_ = std::move(controller);
    if (auto old = installedRootView_.lock()) {
        installedRootView_.reset();
        if (old->superview().get() == this) old->removeFromSuperview();
    }
    if (!isHidden()) installRootView();
}

void Window::installRootView() {
    if (!rootViewController_) return;
    auto view = rootViewController_->view();
    if (installedRootView_.lock() == view && view->superview().get() == this) return;
    view->setFrame(bounds());
    installedRootView_ = view;
    addSubview(view);
}

void Window::makeKeyAndVisible() {
    makeKeyWindow();
    setHidden(false);
}

void Window::makeKeyWindow() {
    Application::shared()->keyWindow_ = std::static_pointer_cast<Window>(shared_from_this());
}

bool Window::isKeyWindow() const { return Application::shared()->keyWindow().get() == this; }

void Window::setHidden(bool hidden) {
    if (hidden == isHidden()) return;
    if (!hidden) installRootView();
    detail::AppearanceChange change(*this, !isHidden(), !hidden);
    change.begin();
    View::setHidden(hidden);
    if (!hidden) layoutIfNeeded();
    change.end();
    if (!hidden) layoutIfNeeded();
}

void Window::layoutSubviews() {
    View::layoutSubviews();
    auto root = installedRootView_.lock();
    if (root && root->superview().get() == this) root->setFrame(bounds());
}

base::Ref<Responder> Window::nextResponder() const { return Application::shared(); }

Rect Window::safeRect() const {
    auto screen = Screen::mainScreen();
    Rect safe = insetRect(screen->bounds(), screen->safeAreaInsets());
    safe.origin.x += bounds().origin.x - frame().origin.x;
    safe.origin.y += bounds().origin.y - frame().origin.y;
    return safe;
}

}  // namespace ui
