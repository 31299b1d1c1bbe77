#pragma once
// The root of the object graph shared by the platform layers, the libraries
// and their hosts. Objects are reference counted through std::shared_ptr;
// identity is the address of the object, and weak references are
// std::weak_ptr.

#include <cstddef>
#include <memory>
#include <string>

#include "Corral/base/BaseExport.h"

namespace base {

class Object;

template <class T>
using Ref = std::shared_ptr<T>;
template <class T>
using WeakRef = std::weak_ptr<T>;
using ObjectRef = Ref<Object>;

// The kinds of object the base library knows by name. Everything else
// (views, pages, user classes) reports `other` and is matched by its C++ type.
enum class Kind { string, number, data, date, array, dictionary, null, value, block, other };

class BASE_EXPORT Object : public std::enable_shared_from_this<Object> {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object();

    virtual Kind kind() const noexcept { return Kind::other; }
    // The class name that messages print, such as "String" or "Dictionary".
    virtual std::string className() const;
    // Value equality for strings, numbers, data, dates, arrays, dictionaries
    // and the null object; identity for everything else.
    virtual bool isEqual(const Object& other) const noexcept;
    virtual std::size_t hash() const noexcept;
    // The text "%@" formats an object as.
    virtual std::string description() const;

    // This object as a strong reference. Only valid for objects held by a Ref.
    ObjectRef self() { return shared_from_this(); }
    Ref<const Object> self() const { return shared_from_this(); }
};

// True when both are absent, or both are present and equal.
BASE_EXPORT bool isEqual(const ObjectRef& a, const ObjectRef& b) noexcept;

namespace detail {
template <class T>
concept HasKind = requires {
    T::staticKind;
};
}  // namespace detail

// `o` as a T when it is one, else an empty reference.
template <class T>
Ref<T> cast(const ObjectRef& o) noexcept {
    if (!o) return nullptr;
    if constexpr (detail::HasKind<T>) {
        return o->kind() == T::staticKind ? std::static_pointer_cast<T>(o) : nullptr;
    } else {
        return std::dynamic_pointer_cast<T>(o);
    }
}

template <class T>
bool isKindOf(const ObjectRef& o) noexcept {
    return cast<T>(o) != nullptr;
}

}  // namespace base
