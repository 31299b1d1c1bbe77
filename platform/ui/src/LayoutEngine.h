#pragma once
// The layout pass over a tree of views.

namespace ui {

class View;

class LayoutEngine {
public:
    // Solves the active constraints of the tree below `root` into frames
    // (the root keeps its own), calls layoutSubviews on each view that was
    // marked for layout or changed size, and repeats while that marks views
    // again, at most a few times. Constraints that contradict each other
    // leave the views they involve at their last frames; positions and sizes
    // that no constraint fixes keep their current values. Both are reported
    // through the log (subsystem "ui", category "layout").
    static void layout(View& root);

private:
    class Pass;
};

}  // namespace ui
