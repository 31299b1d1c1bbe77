#pragma once
// Appearance calls for the view controllers whose views enter or leave a
// visible window with a subtree of views.

#include <vector>

#include "Corral/base/Object.h"

namespace ui {

class View;
class ViewController;

namespace detail {

class AppearanceChange {
public:
    // Nothing happens unless `subtree` goes from hidden to visible or back.
    AppearanceChange(const View& subtree, bool wasVisible, bool willBeVisible);
    // viewWillAppear / viewWillDisappear, parents first.
    void begin();
    // viewDidAppear / viewDidDisappear, parents first.
    void end();

private:
    std::vector<base::Ref<ViewController>> controllers_;
    bool appearing_ = false;
};

}  // namespace detail
}  // namespace ui
