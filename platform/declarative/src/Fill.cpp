#include "Corral/declarative/Fill.h"

#include "Corral/base/Exception.h"
#include "Corral/ui/Color.h"
#include "Corral/ui/View.h"

namespace declarative {

namespace {
class FillNode final : public Node {
public:
    explicit FillNode(base::Ref<ui::Color> color) : color_(std::move(color)) {}
    ui::Size sizeThatFits(ui::Size proposal) const override { return proposal; }
    void build(ui::View& container, ui::Rect frame) const override {
        auto view = ui::View::make(frame);
        view->setBackgroundColor(color_);
        container.addSubview(view);
    }

private:
    base::Ref<ui::Color> color_;
};

std::shared_ptr<const Node> fillNode(base::Ref<ui::Color> color) {
    if (!color) base::raiseInvalidArgument("a fill needs a colour");
    return std::make_shared<FillNode>(std::move(color));
}
}  // namespace

Fill::Fill(base::Ref<ui::Color> color) : AnyView(fillNode(std::move(color))) {}

}  // namespace declarative
