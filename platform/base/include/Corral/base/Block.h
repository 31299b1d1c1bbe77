#pragma once
// A block: a closure handed across the host boundary. It takes objects and
// returns an object or nothing (an empty reference). Copying a block shares
// it; the closure it holds lives as long as the last reference.

#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Block final : public Object {
public:
    using Function = std::function<ObjectRef(std::span<const ObjectRef>)>;
    static constexpr Kind staticKind = Kind::block;

    static Ref<Block> make(Function function);

    explicit Block(Function function) : function_(std::move(function)) {}

    ObjectRef invoke(std::span<const ObjectRef> arguments) const { return function_(arguments); }
    template <class... Args>
    ObjectRef operator()(Args&&... arguments) const {
        const ObjectRef list[] = {ObjectRef(std::forward<Args>(arguments))..., nullptr};
        return function_(std::span<const ObjectRef>(list, sizeof...(Args)));
    }

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Block"; }

private:
    Function function_;
};

}  // namespace base
