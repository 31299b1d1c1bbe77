#pragma once
// A view that shows declarative content. It builds the views for its
// content when it is laid out, and again whenever its size or its content
// changes; subviews added by others are left alone.

#include <optional>
#include <vector>

#include "Corral/declarative/AnyView.h"
#include "Corral/ui/View.h"

namespace declarative {

class DECLARATIVE_EXPORT HostingView : public ui::View {
public:
    static base::Ref<HostingView> make(AnyView rootView);
    explicit HostingView(AnyView rootView);

    const AnyView& rootView() const noexcept { return rootView_; }
    void setRootView(AnyView rootView);
    // The size the content takes when offered `proposal`.
    ui::Size sizeThatFits(ui::Size proposal) const { return rootView_.sizeThatFits(proposal); }

    void layoutSubviews() override;

private:
    AnyView rootView_;
    std::optional<ui::Size> builtSize_;
    std::vector<base::WeakRef<ui::View>> built_;
};

}  // namespace declarative
