#include "Corral/ui/TransitionCoordinator.h"

namespace ui {

base::Ref<TransitionCoordinator> TransitionCoordinator::make(Size fromSize, Size toSize) {
    return std::make_shared<TransitionCoordinator>(fromSize, toSize);
}

bool TransitionCoordinator::animateAlongsideTransition(Block animation, Block completion) {
    if (animation) animations_.push_back(std::move(animation));
    if (completion) completions_.push_back(std::move(completion));
    return true;
}

namespace {
// Blocks may queue more blocks; those run in the same call.
void runOnce(std::vector<TransitionCoordinator::Block>& blocks,
             const TransitionCoordinator& coordinator) {
    while (!blocks.empty()) {
        auto batch = std::move(blocks);
        blocks.clear();
        for (auto& block : batch) block(coordinator);
    }
}
}  // namespace

void TransitionCoordinator::runAnimations() { runOnce(animations_, *this); }

void TransitionCoordinator::runCompletions() { runOnce(completions_, *this); }

}  // namespace ui
