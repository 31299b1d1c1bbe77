#include "Corral/ui/Application.h"

#include "Corral/base/Exception.h"
#include "Corral/ui/ApplicationDelegate.h"
#include "Corral/ui/RunLoop.h"
#include "Corral/ui/Screen.h"
#include "Corral/ui/ViewController.h"
#include "Corral/ui/Window.h"

namespace ui {

ApplicationDelegate::~ApplicationDelegate() = default;

bool ApplicationDelegate::application(Application&, const base::Ref<base::Dictionary>&) {
    return true;
}

void ApplicationDelegate::applicationWillTerminate(Application&) {}

base::Ref<Application> Application::shared() {
    // Never destroyed: windows released during exit still ask for it.
    static const auto* application = [] {
        auto* made = new base::Ref<Application>(std::make_shared<Application>());
        // The display cycle: whenever the main loop has drained its queue,
        // every window that needs it is laid out.
        RunLoop::main().addTurnObserver([] {
            for (const auto& window : Screen::mainScreen()->windows()) window->layoutIfNeeded();
        });
        return made;
    }();
    return *application;
}

Application::Application() = default;

Application::~Application() = default;

std::vector<base::Ref<Window>> Application::windows() const {
    return Screen::mainScreen()->windows();
}

void Application::setUserInterfaceLayoutDirection(UserInterfaceLayoutDirection direction) {
    if (direction == direction_) return;
    direction_ = direction;
    for (const auto& window : windows()) window->setNeedsLayout();
}

bool Application::isStatusBarHidden() const {
    auto window = keyWindow();
    auto controller = window ? window->rootViewController() : nullptr;
    return controller && controller->prefersStatusBarHidden();
}

void Application::terminate(int status) {
    exitStatus_ = status;
    RunLoop::main().stop();
}

base::Ref<Responder> Application::nextResponder() const {
    return std::dynamic_pointer_cast<Responder>(delegate_);
}

int applicationMain(int argc, char** argv, const ApplicationDelegateFactory& makeDelegate) {
    auto application = Application::shared();
    if (application->running_) base::raiseInvalidArgument("an application is already running");
    auto delegate = makeDelegate ? makeDelegate() : nullptr;
    if (!delegate) base::raiseInvalidArgument("the application delegate factory gave no delegate");
    application->arguments_.assign(argv, argv + (argv ? argc : 0));
    application->delegate_ = delegate;
    application->exitStatus_ = 0;
    application->running_ = true;
    struct Finish {
        Application& application;
        ~Finish() { application.running_ = false; }
    } finish{*application};
    RunLoop::main().post([application, delegate] { delegate->application(*application, nullptr); });
    RunLoop::main().run();
    // The loop lays windows out only once it has drained its queue, which a
    // busy loop may not have done before the stop: what the last work
    // changed is laid out now, so the application ends as it was left.
    for (const auto& window : application->windows()) window->layoutIfNeeded();
    delegate->applicationWillTerminate(*application);
    return application->exitStatus_;
}

}  // namespace ui
