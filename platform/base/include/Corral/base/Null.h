#pragma once
// The null object: stands for an absent value inside collections and
// notification user info. There is one per process.

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Null final : public Object {
public:
    static constexpr Kind staticKind = Kind::null;
    static Ref<Null> null();

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Null"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override { return 0x6e756c6c; }
    std::string description() const override { return "<null>"; }
};

}  // namespace base
