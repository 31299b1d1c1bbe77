#pragma once
// A view controller whose view is a HostingView showing declarative content.

#include "Corral/declarative/AnyView.h"
#include "Corral/ui/ViewController.h"

namespace declarative {

class DECLARATIVE_EXPORT HostingController : public ui::ViewController {
public:
    // A new controller, made with the plain initialiser, showing `rootView`.
    template <View Content>
    static base::Ref<HostingController> make(const Content& rootView) {
        return create<HostingController>(AnyView(rootView));
    }
    explicit HostingController(AnyView rootView);

    const AnyView& rootView() const noexcept { return rootView_; }
    // Shows new content; a loaded view rebuilds at its next layout.
    void setRootView(AnyView rootView);
    ui::Size sizeThatFits(ui::Size proposal) const { return rootView_.sizeThatFits(proposal); }

    // Makes the HostingView, as large as the main screen.
    void loadView() override;

private:
    AnyView rootView_;
};

}  // namespace declarative
