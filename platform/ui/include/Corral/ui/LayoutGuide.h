#pragma once
// A rectangle that takes part in layout like a view but shows nothing. A
// view owns its guides. The safe-area guide of a view is not solved: it is
// the view's bounds less its safe-area insets. Other guides are positioned
// by their constraints in each layout pass.

#include <string>

#include "Corral/base/Object.h"
#include "Corral/ui/Geometry.h"
#include "Corral/ui/LayoutItem.h"

namespace ui {

class View;

class UI_EXPORT LayoutGuide : public base::Object, public LayoutItem {
public:
    static base::Ref<LayoutGuide> make();
    LayoutGuide() = default;
    ~LayoutGuide() override;

    base::Ref<View> owningView() const { return owningView_.lock(); }
    // In the owning view's coordinates.
    Rect layoutFrame() const;
    bool isSafeAreaLayoutGuide() const noexcept { return safeArea_; }

    const std::string& identifier() const noexcept { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    std::string className() const override;
    std::string description() const override;

protected:
    base::WeakRef<base::Object> anchorItem() const override;

private:
    friend class View;
    friend class LayoutEngine;
    base::WeakRef<View> owningView_;
    Rect frame_;
    bool safeArea_ = false;
    std::string identifier_;
};

}  // namespace ui
