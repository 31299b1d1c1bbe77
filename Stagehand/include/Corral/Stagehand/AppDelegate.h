#pragma once
// The application shell for a live view that runs in a process of its own.
// An application makes a subclass of AppDelegate its delegate, for example
//
//     ui::applicationMain(argc, argv, [] { return std::make_shared<MyDelegate>(); });
//
// and the subclass supplies the live view (setUpLiveView) and, if it wants
// it beside other content, the side-by-side configuration. At launch the
// delegate calls SGHInitialize(), builds a window whose root view controller
// shows the live view inside an SGHHostViewController, and shows the window.

#include "Corral/PaddockLiveViewable.h"
#include "Corral/Stagehand/LiveViewConfiguration.h"
#include "Corral/Stagehand/StagehandExport.h"
#include "Corral/base/Dictionary.h"
#include "Corral/ui/ApplicationDelegate.h"
#include "Corral/ui/Responder.h"
#include "Corral/ui/Window.h"

namespace stagehand {

class RootViewController;

class STAGEHAND_EXPORT AppDelegate : public ui::Responder, public ui::ApplicationDelegate {
public:
    AppDelegate();
    ~AppDelegate() override;

    // Calls SGHInitialize(), then makes the window (which asks for the live
    // view) key and visible. Ignores its arguments; answers true.
    bool application(ui::Application& application,
                     const base::Ref<base::Dictionary>& launchOptions) override;
    // The live view to show. Subclasses must override it: this one stops the
    // process with a fatal error.
    virtual PaddockLiveViewable setUpLiveView();
    // fullScreen unless a subclass chooses otherwise.
    virtual LiveViewConfiguration liveViewConfiguration() const;

private:
    // Both are made on first use and kept until the delegate goes.
    const base::Ref<RootViewController>& rootViewController();
    const base::Ref<ui::Window>& window();

    base::Ref<RootViewController> rootViewController_;
    base::Ref<ui::Window> window_;
};

}  // namespace stagehand
