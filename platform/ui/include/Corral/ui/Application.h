#pragma once
// The application object: one per process. It holds its delegate, knows the
// windows and the key window, sets the layout direction, and runs the main
// run loop from applicationMain until it is terminated. Headless: nothing is
// drawn; windows are laid out whenever the run loop has drained its queue.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "Corral/ui/Responder.h"

namespace ui {

class ApplicationDelegate;
class Window;

enum class UserInterfaceLayoutDirection { leftToRight, rightToLeft };

using ApplicationDelegateFactory = std::function<base::Ref<ApplicationDelegate>()>;

// Runs an application: makes its delegate with the factory, installs it,
// queues the launch call (application(app, no options)) on the main run
// loop, runs the loop until terminate(), lays out the windows that need it,
// tells the delegate applicationWillTerminate and returns the status given
// to terminate.
// Raises InvalidArgumentException when an application is already running or
// the factory gives no delegate.
UI_EXPORT int applicationMain(int argc, char** argv,
                              const ApplicationDelegateFactory& makeDelegate);

class UI_EXPORT Application final : public Responder {
public:
    static base::Ref<Application> shared();
    Application();
    ~Application() override;

    // The application keeps its delegate alive.
    const base::Ref<ApplicationDelegate>& delegate() const noexcept { return delegate_; }
    void setDelegate(base::Ref<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    base::Ref<Window> keyWindow() const { return keyWindow_.lock(); }
    std::vector<base::Ref<Window>> windows() const;

    // Left to right unless set otherwise. Changing it marks every window for layout.
    UserInterfaceLayoutDirection userInterfaceLayoutDirection() const noexcept {
        return direction_;
    }
    void setUserInterfaceLayoutDirection(UserInterfaceLayoutDirection direction);

    // What the key window's root view controller prefers.
    bool isStatusBarHidden() const;

    // The program arguments given to applicationMain.
    const std::vector<std::string>& arguments() const noexcept { return arguments_; }
    bool isRunning() const noexcept { return running_; }
    // Ends applicationMain with the status once the work running now has
    // finished. Safe to call from any thread.
    void terminate(int status = 0);

    // The delegate, when it is a responder.
    base::Ref<Responder> nextResponder() const override;
    std::string className() const override { return "ui::Application"; }

private:
    friend class Window;
    friend int applicationMain(int, char**, const ApplicationDelegateFactory&);
    base::Ref<ApplicationDelegate> delegate_;
    base::WeakRef<Window> keyWindow_;
    UserInterfaceLayoutDirection direction_ = UserInterfaceLayoutDirection::leftToRight;
    std::vector<std::string> arguments_;
    bool running_ = false;
    std::atomic<int> exitStatus_{0};
};

}  // namespace ui
