#pragma once
// An immutable dictionary object: unique keys mapped to values, kept in the
// order in which the keys were first given. Keys compare with isEqual, so
// strings and numbers compare by value.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "Corral/base/Object.h"

namespace base {

class String;

// Positions of a dictionary's entries by the hash of their keys: one flat
// table with linear probing, at most half full, so that building a large
// dictionary costs one allocation rather than one per entry and a look-up
// touches one or two adjacent slots. A slot is four bytes: the position,
// and in the bits the position leaves free a fingerprint of the hash, so
// that most keys that merely share a slot are passed over without being
// compared. Small slots keep the table of a large dictionary in the caches
// while the dictionary is read at random.
class BASE_EXPORT KeyIndex {
public:
    // Positions from this one on are refused.
    static constexpr std::size_t maxPositions = std::size_t{1} << 30;

    bool empty() const noexcept { return count_ == 0; }
    void clear() noexcept;
    // Room for `count` positions without growing.
    void reserve(std::size_t count);
    // Positions come in order, 0 first. Throws std::length_error for a
    // position from maxPositions on.
    void insert(std::size_t hash, std::size_t position);
    // Frees what only growing needs: the index then takes no more
    // insertions, and `clear` makes it new.
    void seal() noexcept;
    // The first position with this hash for which `matches(position)` is
    // true, or none.
    template <class Matches>
    std::optional<std::size_t> find(std::size_t hash, const Matches& matches) const {
        if (slots_.empty()) return std::nullopt;
        std::size_t mask = slots_.size() - 1;
        Probe probe = probeFor(static_cast<std::uint32_t>(hash));
        for (std::size_t i = probe.home; slots_[i] != 0; i = (i + 1) & mask) {
            if ((slots_[i] >> bits_) == probe.fingerprint && matches((slots_[i] & mask) - 1))
                return (slots_[i] & mask) - 1;
        }
        return std::nullopt;
    }

private:
    struct Probe {
        std::size_t home;           // the first slot to look at
        std::uint32_t fingerprint;  // the bits of the slot above the position
    };
    // From the low 32 bits of a hash, mixed so that hashes differing only
    // in high bits spread too: the home slot from one part of the mix, the
    // fingerprint from another, so that keys sharing a home rarely share
    // a fingerprint.
    Probe probeFor(std::uint32_t hash) const noexcept {
        std::uint64_t mixed = hash * 0x9E3779B97F4A7C15ull;
        return {static_cast<std::size_t>(mixed >> 32) & (slots_.size() - 1),
                static_cast<std::uint32_t>(mixed >> (32 + bits_))};
    }
    // Enough slots for `count` positions, placing every one again when the
    // table doubles.
    void grow(std::size_t count);
    void place(std::uint32_t hash, std::size_t position);
    // position + 1 in the low `bits_` bits (0 marks a free slot), the
    // fingerprint above them.
    std::vector<std::uint32_t> slots_;
    unsigned bits_ = 0;  // log2 of the number of slots
    // The low 32 bits of the hash at each position, to place every
    // position again when the table grows; freed by `seal`.
    std::vector<std::uint32_t> hashes_;
    std::size_t count_ = 0;
};

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
        // Appends an entry whose key the caller knows differs from every key
        // given so far (the keys of a map, say), without comparing it.
        Builder& add(ObjectRef key, ObjectRef value);
        std::size_t count() const noexcept { return entries_.size(); }
        Ref<Dictionary> build();

    private:
        std::vector<Entry> entries_;
        KeyIndex index_;
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
    // The entry whose key is the string object `stringKey`, or null.
    const Entry* entryForKey(std::string_view stringKey) const noexcept;
    // True when every key is a string object.
    bool hasOnlyStringKeys() const noexcept;

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Dictionary"; }
    // Equal when both hold equal values for the same keys, in any order.
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override { return entries_.size(); }
    std::string description() const override;

    Dictionary(std::vector<Entry> entries, KeyIndex index)
        : entries_(std::move(entries)), index_(std::move(index)) {}

private:
    friend struct ContainerRelease;
    template <class Key>
    const Entry* lookUp(std::size_t hash, const Key& matches) const noexcept;
    std::vector<Entry> entries_;
    // Hash of key to position; empty for small dictionaries, which are scanned.
    KeyIndex index_;
};

}  // namespace base
