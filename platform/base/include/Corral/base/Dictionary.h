#pragma once
// An immutable dictionary object: unique keys mapped to values, kept in the
// order in which the keys were first given. Keys compare with isEqual, so
// strings and numbers compare by value.

#include <initializer_list>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Corral/base/Object.h"

namespace base {

class String;

class BASE_EXPORT Dictionary final : public Object {
public:
    using Entry = std::pair<ObjectRef, ObjectRef>;
    static constexpr Kind staticKind = Kind::dictionary;

    // Collects entries; a key given twice keeps its first position and its
    // last value. Neither keys nor values may be absent.
    class BASE_EXPORT Builder {
    public:
        Builder() = default;
        explicit Builder(std::size_t capacity) { reserve(capacity); }
        Builder& reserve(std::size_t capacity);
        Builder& set(ObjectRef key, ObjectRef value);
        Builder& set(std::string key, ObjectRef value);
        std::size_t count() const noexcept { return entries_.size(); }
        Ref<Dictionary> build();

    private:
        std::vector<Entry> entries_;
        std::unordered_multimap<std::size_t, std::size_t> index_;
    };

    static Ref<Dictionary> make(std::vector<Entry> entries = {});
    // A dictionary whose keys are string objects.
    static Ref<Dictionary> withStringKeys(
        std::initializer_list<std::pair<std::string, ObjectRef>> entries);

    ~Dictionary() override;

    const std::vector<Entry>& entries() const noexcept { return entries_; }
    std::size_t count() const noexcept { return entries_.size(); }
    auto begin() const noexcept { return entries_.begin(); }
    auto end() const noexcept { return entries_.end(); }

    // The value for a key, or an empty reference.
    ObjectRef objectForKey(const Object& key) const noexcept;
    ObjectRef objectForKey(std::string_view stringKey) const noexcept;
    // True when every key is a string object.
    bool hasOnlyStringKeys() const noexcept;

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Dictionary"; }
    // Equal when both hold equal values for the same keys, in any order.
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override { return entries_.size(); }
    std::string description() const override;

    Dictionary(std::vector<Entry> entries, std::unordered_multimap<std::size_t, std::size_t> index)
        : entries_(std::move(entries)), index_(std::move(index)) {}

private:
    friend struct ContainerRelease;
    template <class Key>
    ObjectRef lookUp(std::size_t hash, const Key& matches) const noexcept;
    std::vector<Entry> entries_;
    // Hash of key to position; empty for small dictionaries, which are scanned.
    std::unordered_multimap<std::size_t, std::size_t> index_;
};

}  // namespace base
