#pragma once
// PaddockValue: the one value type page code exchanges with everything
// outside it (live-view messages, key-value store entries, the assessment
// status a host pushes in). It is a closed tagged union of eight cases; the
// position of a case is its tag:
//
//   0 array          ordered sequence of PaddockValue
//   1 dictionary     string key -> PaddockValue, no defined order
//   2 string         UTF-8 text
//   3 data           bytes
//   4 date           seconds since 2001-01-01 00:00:00 UTC, as a double
//   5 integer        signed 64-bit integer
//   6 floatingPoint  64-bit IEEE 754 double
//   7 boolean        true or false
//
// Build a value with the constructor named after its case; each accepts only
// its own payload type, so a string literal never becomes a Boolean and an
// integer literal never a double. Take it apart with tag() and the asX()
// accessors, or with visit(), which refuses to compile unless the visitor
// handles all eight cases.
//
// A PaddockValue is a plain value: a copy is independent of the original.
// Copies share the storage of arrays, dictionaries, strings and data until
// one of them is written (asMutableX() unshares one level), so copying any
// value, however large, costs one reference-count increment. Copying and
// destroying never recurse through the nesting, so values of any depth are
// safe. A moved-from value holds the Boolean false.
//
// Sharing is thread-safe in the way std::shared_ptr is: distinct copies may
// be used on different threads; one value may not be written on one thread
// while it is used on another.

#include <atomic>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "Corral/CorralExport.h"
#include "Corral/base/ObjectMemory.h"

namespace paddock_detail {

// Storage that copies share until one of them is written. It lives in the
// memory of the object graph: values are converted from and to graphs in
// bursts of many small blocks, which that memory serves best.
template <class T>
class CopyOnWrite {
public:
    explicit CopyOnWrite(T value) : storage_(base::makeObject<T>(std::move(value))) {}

    const T& get() const noexcept { return *storage_; }
    // The payload for writing: copied first when another value shares it.
    T& mutate() {
        if (isUnique()) return *storage_;
        storage_ = base::makeObject<T>(std::as_const(*storage_));
        return *storage_;
    }
    // The payload's address when other values share it, else null.
    const void* sharedAddress() const noexcept {
        return storage_.use_count() > 1 ? storage_.get() : nullptr;
    }
    // True when no other value shares the payload. A true result also makes
    // every earlier use by a former co-owner on another thread visible here.
    bool isUnique() const noexcept {
        if (storage_.use_count() != 1) return false;
        std::atomic_thread_fence(std::memory_order_acquire);
        return true;
    }

private:
    std::shared_ptr<T> storage_;
};

template <class T, class... U>
concept OneOf = (std::same_as<T, U> || ...);

// Integer types whose every value fits a signed 64-bit integer; bool and the
// character types are not numbers here.
template <class T>
concept IntegerPayload =
    std::integral<T> && !OneOf<T, bool, char, char8_t, char16_t, char32_t, wchar_t> &&
    (std::is_signed_v<T> || sizeof(T) < sizeof(std::int64_t));

template <class T>
concept FloatingPointPayload = OneOf<T, float, double>;

}  // namespace paddock_detail

class PaddockValueSharing;

class CORRAL_EXPORT PaddockValue {
public:
    enum class Case : std::uint8_t {
        array,
        dictionary,
        string,
        data,
        date,
        integer,
        floatingPoint,
        boolean
    };

    // Hash and equality for dictionary keys that also look up by string_view.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const noexcept {
            return std::hash<std::string_view>{}(key);
        }
    };

    // Payload types, in case order.
    using Array = std::vector<PaddockValue>;
    // Its entries live in the memory of the object graph, like the payloads.
    using Dictionary =
        std::unordered_map<std::string, PaddockValue, KeyHash, std::equal_to<>,
                           base::ObjectAllocator<std::pair<const std::string, PaddockValue>>>;
    using Data = std::vector<std::uint8_t>;
    struct Date {
        double timeIntervalSinceReferenceDate = 0;  // seconds since 2001-01-01 00:00:00 UTC
    };
    // The scalar payloads as visit() hands them over: distinct types, so that
    // a visitor for one can never silently take another by conversion.
    struct Integer {
        std::int64_t value;
    };
    struct FloatingPoint {
        double value;
    };
    struct Boolean {
        bool value;
    };

    static PaddockValue array(Array elements);
    static PaddockValue dictionary(Dictionary entries);
    static PaddockValue string(std::string text);
    static PaddockValue data(Data bytes);
    static PaddockValue date(Date when) { return PaddockValue(when); }
    template <paddock_detail::IntegerPayload T>
    static PaddockValue integer(T value) {
        return PaddockValue(Integer{static_cast<std::int64_t>(value)});
    }
    template <paddock_detail::FloatingPointPayload T>
    static PaddockValue floatingPoint(T value) {
        return PaddockValue(FloatingPoint{static_cast<double>(value)});
    }
    template <std::same_as<bool> T>
    static PaddockValue boolean(T value) {
        return PaddockValue(Boolean{value});
    }

    PaddockValue(const PaddockValue&) = default;
    PaddockValue(PaddockValue&& other) noexcept : storage_(std::move(other.storage_)) {
        other.storage_ = Boolean{false};
    }
    // Copy and move assignment; the old value is released like any other.
    PaddockValue& operator=(PaddockValue other) noexcept {
        storage_.swap(other.storage_);
        return *this;
    }
    ~PaddockValue() {
        if (tag() == Case::array || tag() == Case::dictionary) releaseNestedValues();
    }

    Case tag() const noexcept { return static_cast<Case>(storage_.index()); }

    // The payload when the value is of that case, else null.
    const Array* asArray() const noexcept { return shared<Array>(); }
    const Dictionary* asDictionary() const noexcept { return shared<Dictionary>(); }
    const std::string* asString() const noexcept { return shared<std::string>(); }
    const Data* asData() const noexcept { return shared<Data>(); }
    const Date* asDate() const noexcept { return std::get_if<Date>(&storage_); }
    const std::int64_t* asInteger() const noexcept { return scalar<Integer>(); }
    const double* asFloatingPoint() const noexcept { return scalar<FloatingPoint>(); }
    const bool* asBoolean() const noexcept { return scalar<Boolean>(); }

    // The payload for writing when the value is of that case, else null. The
    // value stops sharing that level of its storage with its copies first.
    // Write through the pointer only until the value is next copied or
    // assigned: a copy made later shares the storage again.
    Array* asMutableArray() { return mutableShared<Array>(); }
    Dictionary* asMutableDictionary() { return mutableShared<Dictionary>(); }
    std::string* asMutableString() { return mutableShared<std::string>(); }
    Data* asMutableData() { return mutableShared<Data>(); }

    // True when a visitor can take every case's payload: const Array&,
    // const Dictionary&, const std::string&, const Data&, Date, Integer,
    // FloatingPoint and Boolean.
    template <class Visitor>
    static constexpr bool handlesEveryCase =
        std::is_invocable_v<Visitor&, const Array&>&& std::is_invocable_v<
            Visitor&, const Dictionary&>&& std::is_invocable_v<Visitor&, const std::string&>&&
            std::is_invocable_v<Visitor&, const Data&>&& std::is_invocable_v<Visitor&, Date>&&
                std::is_invocable_v<Visitor&, Integer>&& std::is_invocable_v<
                    Visitor&, FloatingPoint>&& std::is_invocable_v<Visitor&, Boolean>;

    // Calls the visitor with the payload of the value's case. Every case must
    // be handled, and all must return the same type.
    template <class Visitor>
    requires handlesEveryCase<Visitor>
    decltype(auto) visit(Visitor&& visitor) const {
        return std::visit(
            [&visitor](const auto& payload) -> decltype(auto) {
                if constexpr (requires { payload.get(); }) {
                    return std::invoke(visitor, payload.get());
                } else {
                    return std::invoke(visitor, payload);
                }
            },
            storage_);
    }

private:
    friend class PaddockValueSharing;
    template <class T>
    using Shared = paddock_detail::CopyOnWrite<T>;
    using Storage = std::variant<Shared<Array>, Shared<Dictionary>, Shared<std::string>,
                                 Shared<Data>, Date, Integer, FloatingPoint, Boolean>;

    explicit PaddockValue(Storage storage) noexcept : storage_(std::move(storage)) {}

    template <class T>
    const T* shared() const noexcept {
        auto* box = std::get_if<Shared<T>>(&storage_);
        return box ? &box->get() : nullptr;
    }
    template <class T>
    T* mutableShared() {
        auto* box = std::get_if<Shared<T>>(&storage_);
        return box ? &box->mutate() : nullptr;
    }
    template <class T>
    const decltype(T::value)* scalar() const noexcept {
        auto* payload = std::get_if<T>(&storage_);
        return payload ? &payload->value : nullptr;
    }

    // Destroys the nested arrays and dictionaries this value alone owns one
    // by one instead of recursively, so that depth cannot exhaust the stack.
    void releaseNestedValues() noexcept;
    struct Level;
    // The storage of a non-empty array or dictionary this value alone holds.
    std::optional<Level> ownedLevel();

    Storage storage_;
};
