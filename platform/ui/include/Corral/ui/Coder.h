#pragma once
// A keyed archive of objects: what encodeWithCoder writes and initWithCoder
// reads. Keys keep the order they were first written in; writing a key again
// replaces its value.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Corral/base/Dictionary.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class UI_EXPORT Coder {
public:
    // An empty archive, to encode into.
    Coder() = default;
    // An archive to decode from. Raises InvalidArgumentException when a key
    // is not a string object.
    explicit Coder(const base::Ref<base::Dictionary>& archive);

    void encodeObject(base::ObjectRef object, std::string key);
    bool containsValueForKey(std::string_view key) const noexcept;
    // The object stored under the key, or an empty reference.
    base::ObjectRef decodeObjectForKey(std::string_view key) const noexcept;
    // The string stored under the key, or nothing when the key is absent;
    // raises InvalidArgumentException when the value is not a string.
    std::optional<std::string> decodeStringForKey(std::string_view key) const;

    // Everything encoded so far, as a dictionary with string keys.
    base::Ref<base::Dictionary> archive() const;

private:
    std::vector<std::pair<std::string, base::ObjectRef>> entries_;
};

}  // namespace ui
