#pragma once
// What can be shown as a page's live view.
//
// A live view is any value whose type is live-viewable: it answers a
// PaddockLiveViewRepresentation, either a platform view or a platform view
// controller. Every ui::View and ui::ViewController (subclasses, and hosting
// controllers, included) is live-viewable as itself. A page's own type, a
// value type included, becomes live-viewable by offering either
//
//     PaddockLiveViewRepresentation paddockLiveViewRepresentation() const;   // a member
//
// or a free function found next to the type:
//
//     PaddockLiveViewRepresentation paddockLiveViewRepresentation(const MyType&);
//
// PaddockLiveViewable holds such a value, whatever its type (type erasure),
// and owns it: a live view held by reference (base::Ref) is kept alive by it.

#include <concepts>
#include <memory>
#include <type_traits>
#include <utility>

#include "Corral/CorralExport.h"
#include "Corral/base/Object.h"
#include "Corral/ui/View.h"
#include "Corral/ui/ViewController.h"

class CORRAL_EXPORT PaddockLiveViewRepresentation {
public:
    enum class Case { view, viewController };

    static PaddockLiveViewRepresentation view(base::Ref<ui::View> view) {
        return PaddockLiveViewRepresentation(Case::view, std::move(view));
    }
    static PaddockLiveViewRepresentation viewController(base::Ref<ui::ViewController> controller) {
        return PaddockLiveViewRepresentation(Case::viewController, std::move(controller));
    }

    Case kind() const noexcept { return kind_; }
    // The payload of each case; empty for the other case.
    base::Ref<ui::View> viewValue() const { return base::cast<ui::View>(object_); }
    base::Ref<ui::ViewController> viewControllerValue() const {
        return base::cast<ui::ViewController>(object_);
    }
    // The payload as an object, whichever case.
    const base::ObjectRef& object() const noexcept { return object_; }

private:
    PaddockLiveViewRepresentation(Case kind, base::ObjectRef object)
        : kind_(kind), object_(std::move(object)) {}
    Case kind_;
    base::ObjectRef object_;
};

// Platform views and view controllers answer themselves.
inline PaddockLiveViewRepresentation paddockLiveViewRepresentation(
    const base::Ref<ui::View>& view) {
    return PaddockLiveViewRepresentation::view(view);
}
inline PaddockLiveViewRepresentation paddockLiveViewRepresentation(
    const base::Ref<ui::ViewController>& controller) {
    return PaddockLiveViewRepresentation::viewController(controller);
}

namespace paddock_detail {

template <class T>
struct IsRef : std::false_type {};
template <class U>
struct IsRef<std::shared_ptr<U>> : std::true_type {};

template <class T>
concept HasFreeRepresentation = requires(const T& value) {
    { paddockLiveViewRepresentation(value) } -> std::same_as<PaddockLiveViewRepresentation>;
};
template <class T>
concept HasMemberRepresentation = requires(const T& value) {
    { value.paddockLiveViewRepresentation() } -> std::same_as<PaddockLiveViewRepresentation>;
};
template <class T>
concept HasPointeeRepresentation = IsRef<T>::value && requires(const T& value) {
    { value->paddockLiveViewRepresentation() } -> std::same_as<PaddockLiveViewRepresentation>;
};

template <class T>
PaddockLiveViewRepresentation representationOf(const T& value) {
    if constexpr (HasFreeRepresentation<T>)
        return paddockLiveViewRepresentation(value);
    else if constexpr (HasMemberRepresentation<T>)
        return value.paddockLiveViewRepresentation();
    else
        return value->paddockLiveViewRepresentation();
}

}  // namespace paddock_detail

template <class T>
concept LiveViewable = paddock_detail::HasFreeRepresentation<T> ||
    paddock_detail::HasMemberRepresentation<T> || paddock_detail::HasPointeeRepresentation<T>;

class CORRAL_EXPORT PaddockLiveViewable {
public:
    template <class T>
    requires LiveViewable<std::decay_t<T>> &&
        (!std::same_as<std::decay_t<T>, PaddockLiveViewable>)PaddockLiveViewable(T&& value)
        : model_(std::make_shared<Model<std::decay_t<T>>>(std::forward<T>(value))) {}

    // Asks the held value for its representation (every call asks again).
    PaddockLiveViewRepresentation paddockLiveViewRepresentation() const {
        return model_->representation();
    }
    // The held object when the live view is held by reference, else empty.
    base::ObjectRef object() const { return model_->object(); }
    // The held object as a T (a class it derives from or adopts), or empty.
    template <class T>
    base::Ref<T> as() const {
        return std::dynamic_pointer_cast<T>(object());
    }
    // The held value when it is exactly of type T, else null.
    template <class T>
    const T* value() const {
        auto* model = dynamic_cast<const Model<T>*>(model_.get());
        return model ? &model->value : nullptr;
    }

private:
    struct Concept {
        virtual ~Concept() = default;
        virtual PaddockLiveViewRepresentation representation() const = 0;
        virtual base::ObjectRef object() const = 0;
    };
    template <class T>
    struct Model final : Concept {
        template <class U>
        explicit Model(U&& v) : value(std::forward<U>(v)) {}
        PaddockLiveViewRepresentation representation() const override {
            return paddock_detail::representationOf(value);
        }
        base::ObjectRef object() const override {
            if constexpr (paddock_detail::IsRef<T>::value &&
                          std::is_convertible_v<T, base::ObjectRef>)
                return value;
            else
                return nullptr;
        }
        T value;
    };
    std::shared_ptr<const Concept> model_;
};
