#include "Corral/ui/LayoutItem.h"

#include "Corral/ui/LayoutAnchor.h"

namespace ui {

LayoutItem::~LayoutItem() = default;

namespace {
template <class Anchor>
base::Ref<Anchor> anchor(base::WeakRef<base::Object> item, LayoutAttribute attribute) {
    return std::make_shared<Anchor>(std::move(item), attribute);
}
}  // namespace

base::Ref<LayoutXAxisAnchor> LayoutItem::leadingAnchor() const {
    return anchor<LayoutXAxisAnchor>(anchorItem(), LayoutAttribute::leading);
}
base::Ref<LayoutXAxisAnchor> LayoutItem::trailingAnchor() const {
    return anchor<LayoutXAxisAnchor>(anchorItem(), LayoutAttribute::trailing);
}
base::Ref<LayoutXAxisAnchor> LayoutItem::leftAnchor() const {
    return anchor<LayoutXAxisAnchor>(anchorItem(), LayoutAttribute::left);
}
base::Ref<LayoutXAxisAnchor> LayoutItem::rightAnchor() const {
    return anchor<LayoutXAxisAnchor>(anchorItem(), LayoutAttribute::right);
}
base::Ref<LayoutXAxisAnchor> LayoutItem::centerXAnchor() const {
    return anchor<LayoutXAxisAnchor>(anchorItem(), LayoutAttribute::centerX);
}
base::Ref<LayoutYAxisAnchor> LayoutItem::topAnchor() const {
    return anchor<LayoutYAxisAnchor>(anchorItem(), LayoutAttribute::top);
}
base::Ref<LayoutYAxisAnchor> LayoutItem::bottomAnchor() const {
    return anchor<LayoutYAxisAnchor>(anchorItem(), LayoutAttribute::bottom);
}
base::Ref<LayoutYAxisAnchor> LayoutItem::centerYAnchor() const {
    return anchor<LayoutYAxisAnchor>(anchorItem(), LayoutAttribute::centerY);
}
base::Ref<LayoutDimension> LayoutItem::widthAnchor() const {
    return anchor<LayoutDimension>(anchorItem(), LayoutAttribute::width);
}
base::Ref<LayoutDimension> LayoutItem::heightAnchor() const {
    return anchor<LayoutDimension>(anchorItem(), LayoutAttribute::height);
}

}  // namespace ui
