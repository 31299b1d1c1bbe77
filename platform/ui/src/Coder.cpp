#include "Corral/ui/Coder.h"

#include <algorithm>

#include "Corral/base/Exception.h"
#include "Corral/base/String.h"

namespace ui {

Coder::Coder(const base::Ref<base::Dictionary>& archive) {
    if (!archive) return;
    for (const auto& [key, value] : *archive) {
        auto name = base::cast<base::String>(key);
        if (!name) base::raiseInvalidArgument("archive keys must be strings");
        entries_.emplace_back(name->text(), value);
    }
}

void Coder::encodeObject(base::ObjectRef object, std::string key) {
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const auto& entry) { return entry.first == key; });
    if (found != entries_.end()) {
        found->second = std::move(object);
    } else {
        entries_.emplace_back(std::move(key), std::move(object));
    }
}

bool Coder::containsValueForKey(std::string_view key) const noexcept {
    return decodeObjectForKey(key) != nullptr;
}

base::ObjectRef Coder::decodeObjectForKey(std::string_view key) const noexcept {
    for (const auto& [name, value] : entries_) {
        if (name == key) return value;
    }
    return nullptr;
}

std::optional<std::string> Coder::decodeStringForKey(std::string_view key) const {
    auto value = decodeObjectForKey(key);
    if (!value) return std::nullopt;
    auto text = base::cast<base::String>(value);
    if (!text) {
        base::raiseInvalidArgument("the archived value for \"" + std::string(key) +
                                   "\" is not a string");
    }
    return text->text();
}

base::Ref<base::Dictionary> Coder::archive() const {
    base::Dictionary::Builder builder(entries_.size());
    for (const auto& [key, value] : entries_) {
        if (value) builder.set(key, value);
    }
    return builder.build();
}

}  // namespace ui
