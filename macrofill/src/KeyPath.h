#pragma once
// Where a value sits in a property list, written the way a build engineer
// looks it up: dictionary keys joined by ".", array positions in brackets,
// as in "URLTypes[0].URLName". The root itself has the empty path.

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace macrofill {

class KeyPath {
public:
    // A dictionary key or an array position.
    using Component = std::variant<std::string, std::size_t>;

    KeyPath() = default;
    explicit KeyPath(std::vector<Component> components) : components_(std::move(components)) {}

    bool empty() const { return components_.empty(); }
    std::string text() const;

private:
    std::vector<Component> components_;
};

}  // namespace macrofill
