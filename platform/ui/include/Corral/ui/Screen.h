#pragma once
// The screen windows are placed on. There is one, the main screen; its
// bounds and safe-area insets can be set, as a device would change them when
// it rotates.

#include <vector>

#include "Corral/base/Object.h"
#include "Corral/ui/Geometry.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class Window;

class UI_EXPORT Screen final : public base::Object {
public:
    // Starts with bounds (0, 0, 1024, 768) and no safe-area insets.
    static base::Ref<Screen> mainScreen();
    explicit Screen(Rect bounds);
    ~Screen() override;

    Rect bounds() const noexcept { return bounds_; }
    // Each window that covered the old bounds follows: its root view
    // controller receives viewWillTransitionToSize with the new size and a
    // transition coordinator, the window takes the new bounds and is laid
    // out, then the coordinator's completions run. Raises
    // InvalidArgumentException for numbers that are not finite and negative sizes.
    void setBounds(Rect bounds);

    EdgeInsets safeAreaInsets() const noexcept { return safeAreaInsets_; }
    // Marks every window for layout.
    void setSafeAreaInsets(EdgeInsets insets);

    // The windows on this screen, oldest first.
    std::vector<base::Ref<Window>> windows() const;

    std::string className() const override { return "ui::Screen"; }

private:
    friend class Window;
    void attach(Window* window);
    void detach(Window* window);
    Rect bounds_;
    EdgeInsets safeAreaInsets_;
    std::vector<Window*> windows_;
};

}  // namespace ui
