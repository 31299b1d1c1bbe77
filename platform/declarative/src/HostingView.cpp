#include "Corral/declarative/HostingView.h"

namespace declarative {

base::Ref<HostingView> HostingView::make(AnyView rootView) {
    return std::make_shared<HostingView>(std::move(rootView));
}

HostingView::HostingView(AnyView rootView) : rootView_(std::move(rootView)) {}

void HostingView::setRootView(AnyView rootView) {
    rootView_ = std::move(rootView);
    builtSize_.reset();
    setNeedsLayout();
}

void HostingView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (builtSize_ == bounds().size) return;
    for (const auto& weak : built_) {
        auto view = weak.lock();
        if (view && view->superview().get() == this) view->removeFromSuperview();
    }
    built_.clear();
    std::size_t before = subviews().size();
    rootView_.build(*this, bounds());
    for (std::size_t i = before; i < subviews().size(); ++i) built_.push_back(subviews()[i]);
    builtSize_ = bounds().size;
}

}  // namespace declarative
