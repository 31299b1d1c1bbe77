#include "KeyPath.h"

namespace macrofill {

std::string KeyPath::text() const {
    std::string text;
    for (const Component& component : components_) {
        if (const std::string* key = std::get_if<std::string>(&component)) {
            if (!text.empty()) text += '.';
            text += *key;
        } else {
            text += '[' + std::to_string(std::get<std::size_t>(component)) + ']';
        }
    }
    return text;
}

}  // namespace macrofill
