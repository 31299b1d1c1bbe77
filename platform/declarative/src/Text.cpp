#include "Corral/declarative/Text.h"

#include "Corral/declarative/TextView.h"
#include "Placement.h"

namespace declarative {

namespace {
class TextNode final : public Node {
public:
    explicit TextNode(std::string text) : text_(std::move(text)) {}
    ui::Size sizeThatFits(ui::Size) const override { return TextView::sizeOfText(text_); }
    void build(ui::View& container, ui::Rect frame) const override {
        container.addSubview(
            TextView::make(text_, detail::centredIn(sizeThatFits(frame.size), frame)));
    }

private:
    std::string text_;
};
}  // namespace

Text::Text(std::string content) : AnyView(std::make_shared<TextNode>(std::move(content))) {}

}  // namespace declarative
