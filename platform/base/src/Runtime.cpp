#include "Corral/base/Runtime.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "Corral/base/Exception.h"

namespace base {

std::size_t selectorArity(std::string_view selector) noexcept {
    return static_cast<std::size_t>(std::count(selector.begin(), selector.end(), ':'));
}

Class& Class::classMethod(std::string selector, Method method) {
    if (methods_.find(selector) == methods_.end()) order_.push_back(selector);
    methods_[std::move(selector)] = std::move(method);
    return *this;
}

bool Class::respondsToSelector(std::string_view selector) const {
    return methods_.find(selector) != methods_.end();
}

std::vector<std::string> Class::selectors() const { return order_; }

ObjectRef Class::send(std::string_view selector, std::span<const ObjectRef> arguments) const {
    auto it = methods_.find(selector);
    if (it == methods_.end()) {
        raiseInvalidArgument("unrecognized selector '" + std::string(selector) +
                             "' sent to class " + name_);
    }
    if (arguments.size() != selectorArity(selector)) {
        raiseInvalidArgument("selector '" + std::string(selector) + "' of class " + name_ +
                             " takes " + std::to_string(selectorArity(selector)) +
                             " argument(s), " + std::to_string(arguments.size()) + " given");
    }
    return it->second(arguments);
}

ObjectRef Class::send(std::string_view selector, std::initializer_list<ObjectRef> arguments) const {
    return send(selector, std::span<const ObjectRef>(arguments.begin(), arguments.size()));
}

struct Runtime::State {
    mutable std::shared_mutex mutex;
    std::map<std::string, std::unique_ptr<Class>, std::less<>> classes;
};

Runtime& Runtime::shared() {
    static Runtime* runtime = new Runtime();  // lives until exit
    return *runtime;
}

Runtime::Runtime() : state_(std::make_unique<State>()) {}
Runtime::~Runtime() = default;

bool Runtime::registerClass(Class cls) {
    std::unique_lock lock(state_->mutex);
    std::string name = cls.name();
    return state_->classes.emplace(std::move(name), std::make_unique<Class>(std::move(cls))).second;
}

const Class* Runtime::lookUpClass(std::string_view name) const {
    std::shared_lock lock(state_->mutex);
    auto it = state_->classes.find(name);
    return it == state_->classes.end() ? nullptr : it->second.get();
}

}  // namespace base
