#pragma once
// A window: the root view of a tree, placed on the screen (its frame is in
// screen coordinates). A window starts hidden. It shows the view of its root
// view controller, sized to fill it, once it is visible.

#include <functional>

#include "Corral/ui/View.h"

namespace ui {

class Screen;
class ViewController;

class UI_EXPORT Window : public View {
public:
    // A window covering the main screen's bounds.
    static base::Ref<Window> make();
    static base::Ref<Window> make(Rect frame);
    Window();
    explicit Window(Rect frame);
    ~Window() override;

    base::Ref<Screen> screen() const;

    base::Ref<ViewController> rootViewController() const { return rootViewController_; }
    // Replaces the root view controller. On a visible window the old
    // controller's view leaves (it receives the disappearance calls) and the
    // new one's view is loaded, installed and receives the appearance calls;
    // on a hidden window that waits until the window is shown.
    void setRootViewController(base::Ref<ViewController> controller);

    // Makes this the application's key window and shows it: the root view
    // controller's view loads and is installed, every view controller whose
    // view is in the window receives viewWillAppear, the window is laid out,
    // they receive viewDidAppear, and whatever that changed is laid out too.
    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;

    // Showing or hiding a window sends the appearance or disappearance calls
    // to the view controllers whose views are in it.
    void setHidden(bool hidden) override;
    // Keeps the root view controller's view filling the window.
    void layoutSubviews() override;
    // The application.
    base::Ref<Responder> nextResponder() const override;

    // The part of the window, in its own coordinates, that the screen's
    // safe-area insets leave free.
    Rect safeRect() const;

    // Called at the end of every layout pass over this window's tree, on
    // the thread that ran it (a host that draws the window redraws there).
    // One observer; a later call replaces it, an empty one removes it.
    using LayoutPassObserver = std::function<void(Window&)>;
    void setLayoutPassObserver(LayoutPassObserver observer) {
        layoutPassObserver_ = std::move(observer);
    }

private:
    friend class LayoutEngine;
    void installRootView();
    base::Ref<ViewController> rootViewController_;
    base::WeakRef<View> installedRootView_;
    LayoutPassObserver layoutPassObserver_;
};

}  // namespace ui
