#pragma once
// The area of a live view that is safe to draw in.
//
// PaddockLiveViewSafeAreaContainer is what a live view class offers; the
// library declares no class as one. A page's own view or view-controller
// class gets the usual answer by deriving from
// PaddockLiveViewSafeAreaContainerDefaults<itself>:
//
//     class Board : public ui::View, public PaddockLiveViewSafeAreaContainerDefaults<Board> {};
//
// A view answers its own safe-area layout guide; a view controller answers
// the safe-area layout guide of its view, loading the view first if needed.

#include <concepts>

#include "Corral/CorralExport.h"
#include "Corral/ui/LayoutGuide.h"
#include "Corral/ui/View.h"
#include "Corral/ui/ViewController.h"

class CORRAL_EXPORT PaddockLiveViewSafeAreaContainer {
public:
    virtual ~PaddockLiveViewSafeAreaContainer();
    virtual base::Ref<ui::LayoutGuide> liveViewSafeAreaGuide() = 0;

protected:
    PaddockLiveViewSafeAreaContainer() = default;
    PaddockLiveViewSafeAreaContainer(const PaddockLiveViewSafeAreaContainer&) = default;
    PaddockLiveViewSafeAreaContainer& operator=(const PaddockLiveViewSafeAreaContainer&) = default;
};

// The container with its answer for `Derived`, a ui::View or
// ui::ViewController subclass (checked when the answer is compiled).
template <class Derived>
class PaddockLiveViewSafeAreaContainerDefaults : public PaddockLiveViewSafeAreaContainer {
public:
    base::Ref<ui::LayoutGuide> liveViewSafeAreaGuide() override {
        static_assert(
            std::derived_from<Derived, ui::View> || std::derived_from<Derived, ui::ViewController>,
            "the default safe-area guide is for views and view controllers");
        auto& self = static_cast<Derived&>(*this);
        if constexpr (std::derived_from<Derived, ui::View>) {
            return self.safeAreaLayoutGuide();
        } else {
            return self.view()->safeAreaLayoutGuide();  // view() loads the view
        }
    }
};
