#pragma once
// Handed to view controllers with a size transition. Nothing is animated:
// the blocks given to animateAlongsideTransition run once the new size is in
// place (before the layout pass), and the completions after it.

#include <functional>
#include <vector>

#include "Corral/base/Object.h"
#include "Corral/ui/Geometry.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class UI_EXPORT TransitionCoordinator final : public base::Object {
public:
    using Block = std::function<void(const TransitionCoordinator&)>;

    static base::Ref<TransitionCoordinator> make(Size fromSize, Size toSize);
    TransitionCoordinator(Size fromSize, Size toSize) : from_(fromSize), to_(toSize) {}

    Size fromSize() const noexcept { return from_; }
    Size toSize() const noexcept { return to_; }
    bool isAnimated() const noexcept { return false; }
    double transitionDuration() const noexcept { return 0; }

    // Either block may be empty. Returns true: the blocks will run.
    bool animateAlongsideTransition(Block animation, Block completion);

    // For the code driving the transition: runs the queued blocks of one kind
    // once, in the order they were given.
    void runAnimations();
    void runCompletions();

    std::string className() const override { return "ui::TransitionCoordinator"; }

private:
    Size from_, to_;
    std::vector<Block> animations_;
    std::vector<Block> completions_;
};

}  // namespace ui
