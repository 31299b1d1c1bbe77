#pragma once
// The object runtime: classes registered under exact names, looked up by
// name at run time, and class methods called by selector string with object
// arguments. A selector takes one argument per colon
// ("setCurrentKeyValueStoreValue:forKey:" takes two). Booleans travel as
// number objects and blocks as block objects; an absent argument is an
// empty reference.

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Class {
public:
    using Method = std::function<ObjectRef(std::span<const ObjectRef>)>;

    explicit Class(std::string name) : name_(std::move(name)) {}

    // Adds a class method; a later method with the same selector replaces it.
    Class& classMethod(std::string selector, Method method);

    const std::string& name() const noexcept { return name_; }
    bool respondsToSelector(std::string_view selector) const;
    // The selectors in the order they were added.
    std::vector<std::string> selectors() const;

    // Calls a class method. Raises InvalidArgumentException for a selector
    // the class does not have, or a number of arguments that does not match
    // the selector.
    ObjectRef send(std::string_view selector, std::span<const ObjectRef> arguments = {}) const;
    ObjectRef send(std::string_view selector, std::initializer_list<ObjectRef> arguments) const;

private:
    std::string name_;
    std::vector<std::string> order_;
    std::map<std::string, Method, std::less<>> methods_;
};

class BASE_EXPORT Runtime {
public:
    static Runtime& shared();

    // Registers a class under its exact name. A name that is taken keeps
    // its first class; the call then returns false.
    bool registerClass(Class cls);
    // The class registered under `name`, or null. The pointer stays valid
    // until the process ends.
    const Class* lookUpClass(std::string_view name) const;

    Runtime();
    ~Runtime();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Argument count of a selector: the number of colons in it.
BASE_EXPORT std::size_t selectorArity(std::string_view selector) noexcept;

}  // namespace base
