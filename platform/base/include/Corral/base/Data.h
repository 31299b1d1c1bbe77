#pragma once
// An immutable data object: a sequence of bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Data final : public Object {
public:
    static constexpr Kind staticKind = Kind::data;
    static Ref<Data> make(std::vector<std::uint8_t> bytes);
    static Ref<Data> make(std::span<const std::uint8_t> bytes);

    explicit Data(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }
    std::size_t length() const noexcept { return bytes_.size(); }

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Data"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    std::string description() const override;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace base
