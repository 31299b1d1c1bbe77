#pragma once
// An immutable string object holding UTF-8 text.

#include <string>
#include <string_view>

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT String final : public Object {
public:
    static constexpr Kind staticKind = Kind::string;
    static Ref<String> make(std::string text);

    explicit String(std::string text) : text_(std::move(text)) {}
    const std::string& text() const noexcept { return text_; }

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "String"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    std::string description() const override { return text_; }

private:
    std::string text_;
};

}  // namespace base
