#pragma once
// A view controller manages one view, loaded the first time it is asked
// for, and may contain child view controllers. The link to the parent is
// weak; a parent owns its children.
//
// Creation has two steps, so that subclasses can change or refuse each way
// of initialising: a factory constructs the object, then calls one of the
// virtual initialisers. create<T>(args...) constructs T(args...) and calls
// init(), which by default calls initWithNibName(nothing, nothing) through
// virtual dispatch; makeWithNibName and makeWithCoder call initWithNibName
// and initWithCoder. An override may refuse by raising or stopping the
// process.

#include <optional>
#include <string>
#include <vector>

#include "Corral/ui/Geometry.h"
#include "Corral/ui/Responder.h"

namespace ui {

class Bundle;
class Coder;
class TransitionCoordinator;
class View;
namespace detail {
class AppearanceChange;
}

class UI_EXPORT ViewController : public Responder {
public:
    static base::Ref<ViewController> make() { return create<ViewController>(); }
    template <class T = ViewController, class... Args>
    static base::Ref<T> create(Args&&... args) {
        auto controller = std::make_shared<T>(std::forward<Args>(args)...);
        controller->init();
        return controller;
    }
    template <class T = ViewController>
    static base::Ref<T> makeWithNibName(std::optional<std::string> nibName,
                                        base::Ref<Bundle> bundle) {
        auto controller = std::make_shared<T>();
        controller->initWithNibName(std::move(nibName), std::move(bundle));
        return controller;
    }
    template <class T = ViewController>
    static base::Ref<T> makeWithCoder(Coder& coder) {
        auto controller = std::make_shared<T>();
        controller->initWithCoder(coder);
        return controller;
    }

    ViewController();
    ~ViewController() override;

    // The plain initialiser.
    virtual void init();
    // Remembers the nib name and bundle. This toolkit has no nib loader: a
    // controller with a nib name raises InvalidArgumentException when its
    // view is loaded, unless a subclass overrides loadView.
    virtual void initWithNibName(std::optional<std::string> nibName, base::Ref<Bundle> bundle);
    // Reads what encodeWithCoder writes: the nib name, the bundle path and
    // the title. Raises InvalidArgumentException for values of the wrong kind.
    virtual void initWithCoder(Coder& coder);
    virtual void encodeWithCoder(Coder& coder) const;

    const std::optional<std::string>& nibName() const noexcept { return nibName_; }
    const base::Ref<Bundle>& nibBundle() const noexcept { return nibBundle_; }
    const std::string& title() const noexcept { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    // The view, loaded on first use: loadView, then viewDidLoad. A loadView
    // that leaves no view stops the process with a fatal error.
    base::Ref<View> view();
    base::Ref<View> viewIfLoaded() const { return view_; }
    bool isViewLoaded() const noexcept { return view_ != nullptr; }
    // Replaces the view without loading anything; an empty view unloads it.
    void setView(base::Ref<View> view);
    void loadViewIfNeeded();
    // Makes a plain view with the main screen's bounds (see initWithNibName).
    virtual void loadView();
    virtual void viewDidLoad();

    // Sent when the view enters or leaves a visible window.
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);
    // Sent to a window's root view controller before the window changes
    // size; the default passes it on to every child.
    virtual void viewWillTransitionToSize(Size size,
                                          const base::Ref<TransitionCoordinator>& coordinator);
    virtual bool prefersStatusBarHidden() const;

    // Containment. addChildViewController first sends the child
    // willMoveToParentViewController with this controller, then adds it (a
    // child of another parent is removed from that one first; adding a
    // controller to itself or to a descendant raises InvalidArgumentException).
    // removeFromParentViewController removes it, then sends
    // didMoveToParentViewController with no parent. The other two calls are
    // the container's to make.
    base::Ref<ViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<base::Ref<ViewController>>& childViewControllers() const noexcept {
        return children_;
    }
    void addChildViewController(const base::Ref<ViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const base::Ref<ViewController>& parent);
    virtual void didMoveToParentViewController(const base::Ref<ViewController>& parent);

    // The superview of the view, else the parent.
    base::Ref<Responder> nextResponder() const override;

private:
    friend class detail::AppearanceChange;
    enum class Appearance { disappeared, appearing, appeared, disappearing };
    // Appearance calls, sent only when they change the state.
    void beginAppearanceTransition(bool appearing);
    void endAppearanceTransition();

    std::optional<std::string> nibName_;
    base::Ref<Bundle> nibBundle_;
    std::string title_;
    base::Ref<View> view_;
    base::WeakRef<ViewController> parent_;
    std::vector<base::Ref<ViewController>> children_;
    Appearance appearance_ = Appearance::disappeared;
};

}  // namespace ui
