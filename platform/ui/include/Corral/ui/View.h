#pragma once
// A rectangular area in a tree of views. Each view has a frame in its
// superview's coordinates and bounds in its own: the bounds origin is the
// own coordinate of the view's top-left corner, so giving it an offset
// scrolls the subviews by minus that offset. A superview owns its subviews;
// the link back to the superview is weak.
//
// Layout: a view whose translatesAutoresizingMaskIntoConstraints is true
// (the default) keeps the frame it is given. The other views, and layout
// guides added to views, are positioned by the active equality constraints
// of their tree in each layout pass (layoutIfNeeded), which works in the
// coordinates of the tree's root (the window) and keeps the root's frame.

#include <string>
#include <vector>

#include "Corral/ui/Geometry.h"
#include "Corral/ui/LayoutItem.h"
#include "Corral/ui/Responder.h"

namespace ui {

class Color;
class LayoutConstraint;
class LayoutGuide;
class ViewController;
class Window;

class UI_EXPORT View : public Responder, public LayoutItem {
public:
    static base::Ref<View> make(Rect frame = {});
    // Views are shared objects: create them with make() or std::make_shared.
    explicit View(Rect frame = {});
    ~View() override;

    // Geometry. Setters raise InvalidArgumentException for numbers that are
    // not finite and for negative sizes. Changing the size of the bounds keeps
    // the centre of the frame where it is.
    Rect frame() const noexcept { return frame_; }
    void setFrame(Rect frame);
    Rect bounds() const noexcept { return {boundsOrigin_, frame_.size}; }
    void setBounds(Rect bounds);

    // Hierarchy. addSubview moves a view from its old superview and puts it
    // last (in front); adding a view to itself or to one of its descendants
    // raises InvalidArgumentException. Leaving a superview deactivates the
    // constraints that tie the leaving subtree to the views it leaves.
    base::Ref<View> superview() const { return superview_.lock(); }
    const std::vector<base::Ref<View>>& subviews() const noexcept { return subviews_; }
    void addSubview(const base::Ref<View>& view);
    void removeFromSuperview();
    // True for the view itself too.
    bool isDescendantOfView(const base::Ref<View>& view) const noexcept;
    // The window at the root of this view's tree, if the root is a window.
    base::Ref<Window> window() const;

    // Converts from this view's coordinates to those of `view`; with no view,
    // to window coordinates (the coordinates of the root of the tree when it
    // is not in a window). Views in different windows convert through screen
    // coordinates.
    Rect convertRect(Rect rect, const base::Ref<View>& view) const;
    Point convertPoint(Point point, const base::Ref<View>& view) const;

    base::Ref<Color> backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(base::Ref<Color> color) { backgroundColor_ = std::move(color); }
    // The view's own tint colour, else its superview's, else a default.
    base::Ref<Color> tintColor() const;
    void setTintColor(base::Ref<Color> color) { tintColor_ = std::move(color); }
    bool isHidden() const noexcept { return hidden_; }
    virtual void setHidden(bool hidden);

    bool translatesAutoresizingMaskIntoConstraints() const noexcept { return translates_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);

    // How far the window's safe area (the screen less its safe-area insets)
    // lies inside each edge of this view; zero outside a window.
    EdgeInsets safeAreaInsets() const;
    base::Ref<LayoutGuide> safeAreaLayoutGuide() const;
    const std::vector<base::Ref<LayoutGuide>>& layoutGuides() const noexcept { return guides_; }
    // A guide belongs to one view; adding it here takes it from its old view.
    void addLayoutGuide(const base::Ref<LayoutGuide>& guide);
    void removeLayoutGuide(const base::Ref<LayoutGuide>& guide);

    // The active constraints installed on this view, in activation order.
    const std::vector<base::Ref<LayoutConstraint>>& constraints() const noexcept {
        return constraints_;
    }

    void setNeedsLayout();
    // True when this view or a view below it waits for a layout pass.
    bool needsLayout() const noexcept { return needsLayout_ || subtreeNeedsLayout_; }
    // Runs a layout pass over this view's whole tree if anything in it needs one.
    void layoutIfNeeded();
    // Called during a layout pass, after the constraints are solved, on each
    // view that was marked for layout or whose size changed, parents first.
    // Overrides may set frames of subviews that keep their frames.
    virtual void layoutSubviews();

    // Extra text shown by the view-tree dump, such as a label's text.
    virtual std::string debugAttributes() const;
    // The owning view controller, else the superview.
    base::Ref<Responder> nextResponder() const override;
    // "<class>(<address>) frame (x, y, w, h)".
    std::string description() const override;

protected:
    base::WeakRef<base::Object> anchorItem() const override;

private:
    friend class LayoutConstraint;
    friend class LayoutEngine;
    friend class ViewController;
    friend class Window;

    void markTreeNeedsLayout();
    void setFrameFromLayout(Rect frame);
    void detachFromSuperview();
    void deactivateConstraintsLeaving(const View& leavingRoot);
    // The visible-window state of this subtree, for appearance calls.
    bool isInVisibleWindow() const;

    Rect frame_;
    Point boundsOrigin_;
    base::WeakRef<View> superview_;
    std::vector<base::Ref<View>> subviews_;
    base::WeakRef<ViewController> viewController_;
    base::Ref<Color> backgroundColor_;
    base::Ref<Color> tintColor_;
    bool hidden_ = false;
    bool translates_ = true;
    bool needsLayout_ = true;
    bool subtreeNeedsLayout_ = false;
    mutable base::Ref<LayoutGuide> safeAreaGuide_;
    std::vector<base::Ref<LayoutGuide>> guides_;
    std::vector<base::Ref<LayoutConstraint>> constraints_;
};

}  // namespace ui
