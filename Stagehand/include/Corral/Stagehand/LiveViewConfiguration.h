#pragma once
// How the application shell lays out its live view.

namespace stagehand {

enum class LiveViewConfiguration {
    // The live view fills the screen.
    fullScreen,
    // The live view takes one half of the screen: the trailing half when the
    // screen is wider than 834 points, otherwise the top half.
    sideBySide,
};

}  // namespace stagehand
