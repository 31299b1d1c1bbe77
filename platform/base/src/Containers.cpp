#include <algorithm>
#include <stdexcept>
#include <utility>

#include "Corral/base/Array.h"
#include "Corral/base/Block.h"
#include "Corral/base/Dictionary.h"
#include "Corral/base/ObjectMemory.h"
#include "Corral/base/String.h"

namespace base {

// Releasing a container releases its children; done naively, a deeply nested
// graph recurses once per level and can exhaust the stack. Instead the nested
// containers that are about to die are emptied depth first, innermost first,
// so every destructor that does run finds its own children already gone. The
// walk keeps one cursor per level of nesting rather than a list of every
// nested container, so releasing a broad graph frees no large work list.
struct ContainerRelease {
    static bool isContainer(const ObjectRef& o) {
        return o && (o->kind() == Kind::array || o->kind() == Kind::dictionary);
    }

    // A container being emptied and the position of its next child (for a
    // dictionary, keys and values count in turn).
    struct Level {
        Object* container;
        std::size_t next = 0;

        ObjectRef* nextChild() {
            if (container->kind() == Kind::array) {
                auto& elements = static_cast<Array&>(*container).elements_;
                return next < elements.size() ? &elements[next++] : nullptr;
            }
            auto& entries = static_cast<Dictionary&>(*container).entries_;
            if (next >= 2 * entries.size()) return nullptr;
            auto& entry = entries[next / 2];
            return next++ % 2 ? &entry.second : &entry.first;
        }
        void clear() {
            if (container->kind() == Kind::array) {
                static_cast<Array&>(*container).elements_.clear();
            } else {
                static_cast<Dictionary&>(*container).entries_.clear();
            }
        }
    };

    // Empties `container`, which is dying, and every nested container that
    // dies with it.
    static void release(Object& container) {
        std::vector<Level> open{{&container}};
        while (!open.empty()) {
            if (ObjectRef* child = open.back().nextChild()) {
                if (isContainer(*child) && child->use_count() == 1) open.push_back({child->get()});
                continue;
            }
            open.back().clear();
            open.pop_back();
        }
    }
};

namespace {

// Comparing and describing containers walk the graph with an explicit work
// list rather than recursion, so a deeply nested graph cannot exhaust the
// stack.
bool deepEqual(const Object& first, const Object& second) noexcept {
    std::vector<std::pair<const Object*, const Object*>> work{{&first, &second}};
    while (!work.empty()) {
        auto [a, b] = work.back();
        work.pop_back();
        if (a == b) continue;
        if (a->kind() != b->kind()) return false;
        if (a->kind() == Kind::array) {
            const auto& mine = static_cast<const Array&>(*a).elements();
            const auto& theirs = static_cast<const Array&>(*b).elements();
            if (mine.size() != theirs.size()) return false;
            for (std::size_t i = 0; i < mine.size(); ++i) {
                if (!mine[i] || !theirs[i]) {
                    if (mine[i] || theirs[i]) return false;
                    continue;
                }
                work.emplace_back(mine[i].get(), theirs[i].get());
            }
        } else if (a->kind() == Kind::dictionary) {
            const auto& mine = static_cast<const Dictionary&>(*a);
            const auto& theirs = static_cast<const Dictionary&>(*b);
            if (mine.count() != theirs.count()) return false;
            for (const auto& [key, value] : mine) {
                ObjectRef match = theirs.objectForKey(*key);
                if (!match) return false;
                work.emplace_back(value.get(), match.get());
            }
        } else if (!a->isEqual(*b)) {
            return false;
        }
    }
    return true;
}

std::string deepDescription(const Object& root) {
    // Each item is either text to append or an object still to describe;
    // items are taken from the back, so containers push theirs in reverse.
    using Item = std::pair<std::string, const Object*>;
    std::vector<Item> work{{std::string(), &root}};
    std::string out;
    while (!work.empty()) {
        Item item = std::move(work.back());
        work.pop_back();
        if (!item.second) {
            out += item.first;
            continue;
        }
        const Object& object = *item.second;
        if (object.kind() == Kind::array) {
            const auto& elements = static_cast<const Array&>(object).elements();
            work.emplace_back(")", nullptr);
            for (std::size_t i = elements.size(); i-- > 0;) {
                if (elements[i])
                    work.emplace_back(std::string(), elements[i].get());
                else
                    work.emplace_back("(null)", nullptr);
                if (i) work.emplace_back(", ", nullptr);
            }
            work.emplace_back("(", nullptr);
        } else if (object.kind() == Kind::dictionary) {
            const auto& entries = static_cast<const Dictionary&>(object).entries();
            work.emplace_back("}", nullptr);
            for (std::size_t i = entries.size(); i-- > 0;) {
                work.emplace_back(std::string(), entries[i].second.get());
                work.emplace_back(" = ", nullptr);
                work.emplace_back(std::string(), entries[i].first.get());
                if (i) work.emplace_back("; ", nullptr);
            }
            work.emplace_back("{", nullptr);
        } else {
            out += object.description();
        }
    }
    return out;
}

}  // namespace

// Array

Ref<Array> Array::make(std::vector<ObjectRef> elements) {
    return makeObject<Array>(std::move(elements));
}

Ref<Array> Array::make(std::initializer_list<ObjectRef> elements) {
    return makeObject<Array>(std::vector<ObjectRef>(elements));
}

Array::~Array() {
    if (std::any_of(elements_.begin(), elements_.end(), ContainerRelease::isContainer))
        ContainerRelease::release(*this);
}

bool Array::isEqual(const Object& other) const noexcept { return deepEqual(*this, other); }

std::string Array::description() const { return deepDescription(*this); }

// Dictionary

namespace {
constexpr std::size_t kIndexThreshold = 8;

bool keyMatches(const ObjectRef& key, std::string_view text) {
    return key->kind() == Kind::string && static_cast<const String&>(*key).text() == text;
}
}  // namespace

// KeyIndex

void KeyIndex::clear() noexcept {
    slots_.clear();
    hashes_.clear();
    bits_ = 0;
    count_ = 0;
}

void KeyIndex::seal() noexcept {
    hashes_.clear();
    hashes_.shrink_to_fit();
}

void KeyIndex::reserve(std::size_t count) {
    if (count > maxPositions) throw std::length_error("a dictionary holds too many entries");
    hashes_.reserve(count);
    grow(count);
}

void KeyIndex::grow(std::size_t count) {
    unsigned bits = 4;
    while ((std::size_t{1} << bits) < 2 * count) ++bits;
    if (bits <= bits_ && !slots_.empty()) return;
    slots_.assign(std::size_t{1} << bits, 0);
    bits_ = bits;
    for (std::size_t position = 0; position < hashes_.size(); ++position)
        place(hashes_[position], position);
}

void KeyIndex::place(std::uint32_t hash, std::size_t position) {
    std::size_t mask = slots_.size() - 1;
    Probe probe = probeFor(hash);
    std::size_t i = probe.home;
    while (slots_[i] != 0) i = (i + 1) & mask;
    // position + 1 <= count <= half the slots, so it fits below the fingerprint.
    slots_[i] = (probe.fingerprint << bits_) | static_cast<std::uint32_t>(position + 1);
}

void KeyIndex::insert(std::size_t hash, std::size_t position) {
    if (position >= maxPositions) throw std::length_error("a dictionary holds too many entries");
    if (position != hashes_.size())
        throw std::logic_error("key index positions must come in order");
    // The hashes grow as a vector does: reserving one more each time would
    // copy them all at every insertion.
    grow(count_ + 1);
    auto low = static_cast<std::uint32_t>(hash);
    hashes_.push_back(low);
    place(low, position);
    ++count_;
}

Dictionary::Builder& Dictionary::Builder::reserve(std::size_t capacity) {
    entries_.reserve(capacity);
    if (capacity > kIndexThreshold) index_.reserve(capacity);
    return *this;
}

Dictionary::Builder& Dictionary::Builder::set(ObjectRef key, ObjectRef value) {
    std::size_t hash = key->hash();
    if (entries_.size() < kIndexThreshold) {
        for (auto& entry : entries_) {
            if (base::isEqual(entry.first, key)) {
                entry.second = std::move(value);
                return *this;
            }
        }
    } else {
        if (index_.empty()) {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                index_.insert(entries_[i].first->hash(), i);
        }
        auto found =
            index_.find(hash, [&](std::size_t i) { return base::isEqual(entries_[i].first, key); });
        if (found) {
            entries_[*found].second = std::move(value);
            return *this;
        }
        index_.insert(hash, entries_.size());
    }
    entries_.emplace_back(std::move(key), std::move(value));
    return *this;
}

Dictionary::Builder& Dictionary::Builder::add(ObjectRef key, ObjectRef value) {
    if (!index_.empty()) index_.insert(key->hash(), entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
    return *this;
}

Dictionary::Builder& Dictionary::Builder::set(std::string key, ObjectRef value) {
    return set(String::make(std::move(key)), std::move(value));
}

Ref<Dictionary> Dictionary::Builder::build() {
    if (entries_.size() > kIndexThreshold && index_.empty()) {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            index_.insert(entries_[i].first->hash(), i);
    }
    if (entries_.size() <= kIndexThreshold) index_.clear();
    index_.seal();
    auto result = makeObject<Dictionary>(std::move(entries_), std::move(index_));
    entries_.clear();
    index_.clear();
    return result;
}

Ref<Dictionary> Dictionary::make(std::vector<Entry> entries) {
    Builder builder(entries.size());
    for (auto& [key, value] : entries) builder.set(std::move(key), std::move(value));
    return builder.build();
}

Ref<Dictionary> Dictionary::withStringKeys(
    std::initializer_list<std::pair<std::string, ObjectRef>> entries) {
    Builder builder(entries.size());
    for (const auto& [key, value] : entries) builder.set(key, value);
    return builder.build();
}

Dictionary::~Dictionary() {
    bool nested = std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) {
        return ContainerRelease::isContainer(e.first) || ContainerRelease::isContainer(e.second);
    });
    if (nested) ContainerRelease::release(*this);
}

template <class Matches>
const Dictionary::Entry* Dictionary::lookUp(std::size_t hash,
                                            const Matches& matches) const noexcept {
    if (index_.empty()) {
        for (const auto& entry : entries_)
            if (matches(entry.first)) return &entry;
        return nullptr;
    }
    auto found = index_.find(hash, [&](std::size_t i) { return matches(entries_[i].first); });
    return found ? &entries_[*found] : nullptr;
}

ObjectRef Dictionary::objectForKey(const Object& key) const noexcept {
    const Entry* entry =
        lookUp(key.hash(), [&](const ObjectRef& k) { return k.get() == &key || k->isEqual(key); });
    return entry ? entry->second : nullptr;
}

ObjectRef Dictionary::objectForKey(std::string_view stringKey) const noexcept {
    const Entry* entry = entryForKey(stringKey);
    return entry ? entry->second : nullptr;
}

const Dictionary::Entry* Dictionary::entryForKey(std::string_view stringKey) const noexcept {
    return lookUp(std::hash<std::string_view>{}(stringKey),
                  [&](const ObjectRef& k) { return keyMatches(k, stringKey); });
}

bool Dictionary::hasOnlyStringKeys() const noexcept {
    return std::all_of(entries_.begin(), entries_.end(),
                       [](const Entry& e) { return e.first->kind() == Kind::string; });
}

bool Dictionary::isEqual(const Object& other) const noexcept { return deepEqual(*this, other); }

std::string Dictionary::description() const { return deepDescription(*this); }

// Block

Ref<Block> Block::make(Function function) { return std::make_shared<Block>(std::move(function)); }

}  // namespace base
