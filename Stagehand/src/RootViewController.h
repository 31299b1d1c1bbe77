#pragma once
// The root view controller of the application shell's window. Its view is
// a plain white container; the live view sits inside an
// SGHHostViewController whose view is pinned to the container's top and
// trailing edges and sized by the configuration and the container's width:
//
//   fullScreen                   full width,  full height (fills the screen)
//   sideBySide, wider than 834   half width,  full height (trailing half)
//   sideBySide, 834 or narrower  full width,  half height (top half)
//
// The layout is chosen when the view appears and again, at once, on every
// size transition.

#include <optional>
#include <string>

#include "Corral/PaddockLiveViewable.h"
#include "Corral/Stagehand/LiveViewConfiguration.h"
#include "Corral/Stagehand/SGHHostViewController.h"
#include "Corral/ui/LayoutConstraint.h"
#include "Corral/ui/ViewController.h"

namespace stagehand {

class RootViewController final : public ui::ViewController {
public:
    // The only way to make one: the constructor, then the base initialiser
    // with no nib and no bundle. The other initialisers stop the process.
    static base::Ref<RootViewController> make(LiveViewConfiguration configuration);
    explicit RootViewController(LiveViewConfiguration configuration);
    ~RootViewController() override;

    // Unsupported: each stops the process with a fatal error.
    void initWithNibName(std::optional<std::string> nibName, base::Ref<ui::Bundle> bundle) override;
    void initWithCoder(ui::Coder& coder) override;
    void encodeWithCoder(ui::Coder& coder) const override;

    LiveViewConfiguration configuration() const noexcept { return configuration_; }
    // Made on first use with the plain initialiser.
    const base::Ref<SGHHostViewController>& hostViewController();

    const std::optional<PaddockLiveViewable>& liveView() const noexcept { return liveView_; }
    // Stores the live view and hands it to the host view controller: a view
    // controller as it is, a plain view wrapped in a view controller whose
    // view it is, nothing as nothing.
    void setLiveView(std::optional<PaddockLiveViewable> liveView);

    // The size constraints of the host view; empty until the view is loaded.
    const base::Ref<ui::LayoutConstraint>& liveViewFullWidthConstraint() const noexcept {
        return liveViewFullWidthConstraint_;
    }
    const base::Ref<ui::LayoutConstraint>& liveViewFullHeightConstraint() const noexcept {
        return liveViewFullHeightConstraint_;
    }
    const base::Ref<ui::LayoutConstraint>& liveViewHalfWidthConstraint() const noexcept {
        return liveViewHalfWidthConstraint_;
    }
    const base::Ref<ui::LayoutConstraint>& liveViewHalfHeightConstraint() const noexcept {
        return liveViewHalfHeightConstraint_;
    }

    // Builds the container, installs the host view in it and creates the
    // four size constraints without activating any of them.
    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewWillTransitionToSize(ui::Size size,
                                  const base::Ref<ui::TransitionCoordinator>& coordinator) override;
    bool prefersStatusBarHidden() const override { return true; }

private:
    // Activates the size constraints that the configuration and `width`
    // call for; does nothing while the view is not loaded.
    void applyLayout(double width);

    base::Ref<SGHHostViewController> hostViewController_;
    LiveViewConfiguration configuration_;
    base::Ref<ui::LayoutConstraint> liveViewFullWidthConstraint_;
    base::Ref<ui::LayoutConstraint> liveViewFullHeightConstraint_;
    base::Ref<ui::LayoutConstraint> liveViewHalfWidthConstraint_;
    base::Ref<ui::LayoutConstraint> liveViewHalfHeightConstraint_;
    std::optional<PaddockLiveViewable> liveView_;
};

}  // namespace stagehand
