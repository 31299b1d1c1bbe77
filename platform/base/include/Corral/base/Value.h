#pragma once
// A value object boxing a rect, as notification user info carries geometry.

#include "Corral/base/Geometry.h"
#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Value final : public Object {
public:
    static constexpr Kind staticKind = Kind::value;
    static Ref<Value> withRect(Rect rect);

    explicit Value(Rect rect) : rect_(rect) {}
    Rect rectValue() const noexcept { return rect_; }

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Value"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    std::string description() const override;

private:
    Rect rect_;
};

}  // namespace base
