#pragma once
// An immutable array object: an ordered list of objects, none of them absent.

#include <initializer_list>
#include <vector>

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Array final : public Object {
public:
    static constexpr Kind staticKind = Kind::array;
    static Ref<Array> make(std::vector<ObjectRef> elements = {});
    static Ref<Array> make(std::initializer_list<ObjectRef> elements);

    explicit Array(std::vector<ObjectRef> elements) : elements_(std::move(elements)) {}
    // Releases nested containers iteratively, so a deep graph cannot
    // exhaust the stack.
    ~Array() override;

    const std::vector<ObjectRef>& elements() const noexcept { return elements_; }
    std::size_t count() const noexcept { return elements_.size(); }
    const ObjectRef& at(std::size_t index) const { return elements_.at(index); }
    auto begin() const noexcept { return elements_.begin(); }
    auto end() const noexcept { return elements_.end(); }

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Array"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override { return elements_.size(); }
    std::string description() const override;

private:
    friend struct ContainerRelease;
    std::vector<ObjectRef> elements_;
};

}  // namespace base
