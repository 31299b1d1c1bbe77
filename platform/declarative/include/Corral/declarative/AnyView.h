#pragma once
// Declarative content: an immutable value that describes what to show and
// how it is arranged, composed from smaller values. AnyView holds any such
// value; the building blocks (Text, Fill, Column, Row, Overlay) are AnyViews,
// and any type with a `body() const` that returns content converts to one,
// which is how new content types are composed from existing ones:
//
//     struct Badge {
//         std::string label;
//         declarative::AnyView body() const {
//             return declarative::Text(label).padding(4).background(ui::Color::whiteColor());
//         }
//     };
//
// Copies share the immutable description.

#include <concepts>
#include <memory>
#include <optional>

#include "Corral/base/Object.h"
#include "Corral/declarative/DeclarativeExport.h"
#include "Corral/ui/Geometry.h"

namespace ui {
class Color;
class View;
}  // namespace ui

namespace declarative {

// One element of a description. Layout is by proposal: a parent offers a
// size, the element answers the size it takes, and the parent places it.
class DECLARATIVE_EXPORT Node {
public:
    virtual ~Node();
    virtual ui::Size sizeThatFits(ui::Size proposal) const = 0;
    // Adds the views that show this element to `container`, filling `frame`
    // (in the container's coordinates).
    virtual void build(ui::View& container, ui::Rect frame) const = 0;
};

class DECLARATIVE_EXPORT AnyView {
public:
    // Shows nothing and takes no space.
    AnyView();
    explicit AnyView(std::shared_ptr<const Node> node);
    template <class Content>
    requires requires(const Content& content) { content.body(); }
    AnyView(const Content& content) : AnyView(AnyView(content.body())) {}

    // Modifiers return new content around this one.
    AnyView padding(double length) const;
    AnyView padding(ui::EdgeInsets insets) const;
    // Fixes the width, the height or both; the content is centred inside.
    AnyView frame(std::optional<double> width, std::optional<double> height) const;
    // Puts a colour behind the content, as large as the content.
    AnyView background(base::Ref<ui::Color> color) const;

    ui::Size sizeThatFits(ui::Size proposal) const { return node_->sizeThatFits(proposal); }
    void build(ui::View& container, ui::Rect frame) const { node_->build(container, frame); }
    const std::shared_ptr<const Node>& node() const noexcept { return node_; }

private:
    std::shared_ptr<const Node> node_;
};

// What a hosting controller can show: anything that converts to AnyView.
template <class Content>
concept View = std::convertible_to<Content, AnyView>;

}  // namespace declarative
