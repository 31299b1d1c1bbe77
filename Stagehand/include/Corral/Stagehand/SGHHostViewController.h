#pragma once
// A view controller that shows one child view controller, the live view,
// stretched over its whole view (an SGHostingView).
//
// While the view is loaded and a live view is set, the live view is a child
// of this controller and its view is a subview of this controller's view,
// held to all four edges. Setting a live view before the view is loaded
// only stores it: loading the view installs it.
//
// The object runtime knows the class as "SGHHostViewController"; its class
// method "new" returns a controller made with the plain initialiser.

#include <optional>
#include <string>

#include "Corral/Stagehand/StagehandExport.h"
#include "Corral/ui/ViewController.h"

class STAGEHAND_EXPORT SGHHostViewController : public ui::ViewController {
public:
    static constexpr const char* runtimeName = "SGHHostViewController";

    // A controller made with the plain initialiser.
    static base::Ref<SGHHostViewController> make() { return create<SGHHostViewController>(); }

    SGHHostViewController();
    ~SGHHostViewController() override;

    // The plain initialiser: the base initialiser with no nib and no bundle.
    void init() override;
    // Ignores both arguments and initialises as init() does.
    void initWithNibName(std::optional<std::string> nibName, base::Ref<ui::Bundle> bundle) override;
    // Archives are not supported: raises InvalidArgumentException.
    void initWithCoder(ui::Coder& coder) override;

    // Makes a new SGHostingView the view, then installs the live view, if any.
    void loadView() override;

    virtual base::Ref<ui::ViewController> liveView() const { return liveView_; }
    // Setting the live view that is already set does nothing. On a loaded
    // view the old live view is detached (willMoveToParentViewController
    // with none, its view removed from its superview, then removed from
    // this parent) and the new one, if any, installed with setUpLiveView.
    virtual void setLiveView(base::Ref<ui::ViewController> liveView);
    // Installs liveView(), which must not be empty: adds it as a child, adds
    // its view (placed by constraints) and holds it to the four edges of this
    // controller's view, then tells it that it moved to this parent.
    // Subclasses may override it to install the live view differently.
    virtual void setUpLiveView();

private:
    base::Ref<ui::ViewController> liveView_;
};
