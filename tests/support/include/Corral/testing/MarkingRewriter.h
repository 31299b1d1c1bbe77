#pragma once
// A rewrite of binary lists that is easy to predict: each string with a "$"
// in it gains a "!" at its end, and marked() gives the tree it should make.

#include <string>
#include <string_view>
#include <vector>

#include "Corral/base/Objects.h"
#include "Corral/plist/BinaryStringRewrite.h"

namespace testing_support {

class MarkingRewriter final : public base::BinaryStringRewriter {
public:
    const std::string* rewrite(std::string_view text) override {
        ++calls;
        if (text.find('$') == std::string_view::npos) return nullptr;
        result_ = std::string(text) + "!";
        return &result_;
    }
    int calls = 0;

private:
    std::string result_;
};

// `value` with each string that stands as a value marked, keys kept.
inline base::ObjectRef marked(const base::ObjectRef& value) {
    switch (value->kind()) {
        case base::Kind::string: {
            const std::string& text = static_cast<const base::String&>(*value).text();
            return text.find('$') == std::string::npos ? value : base::String::make(text + "!");
        }
        case base::Kind::array: {
            std::vector<base::ObjectRef> elements;
            for (const auto& element : static_cast<const base::Array&>(*value))
                elements.push_back(marked(element));
            return base::Array::make(std::move(elements));
        }
        case base::Kind::dictionary: {
            std::vector<base::Dictionary::Entry> entries;
            for (const auto& [key, element] :
                 static_cast<const base::Dictionary&>(*value).entries())
                entries.emplace_back(key, marked(element));
            return base::Dictionary::make(std::move(entries));
        }
        default:
            return value;
    }
}

}  // namespace testing_support
