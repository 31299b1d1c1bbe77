#pragma once
// The process-wide notification centre. Posting is synchronous: every
// matching observer has run on the posting thread before post() returns.
// Observers run without any lock held, so an observer may post, add or remove
// observers. Registration is thread-safe. Observers are indexed by name: a
// post costs in proportion to the observers of its name (and of every name),
// and a removal does not depend on how many observers there are.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Corral/base/Dictionary.h"
#include "Corral/base/Object.h"

namespace base {

using NotificationName = std::string;

struct Notification {
    NotificationName name;
    ObjectRef object;          // the sender, or empty
    Ref<Dictionary> userInfo;  // absent (empty reference) is not an empty dictionary
};

class BASE_EXPORT NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Calls `observer` for every notification named `name` (every notification
    // when absent) whose sender is `sender` (any sender when null). Returns a
    // token for removeObserver.
    Token addObserver(std::optional<NotificationName> name, const Object* sender,
                      Observer observer);
    // After removal the observer is not called again, not even by a post
    // that is being delivered at that moment. A call already running on
    // another thread is waited for, so once this returns the observer runs
    // nowhere and whatever it refers to may go. A call running on this thread
    // (an observer removing itself, or one removed by an observer it posted
    // to) is not waited for; the observer is released when that call
    // returns. So an observer must not wait for a thread that may be removing
    // it. Unknown tokens are ignored.
    void removeObserver(Token token);

    void post(const Notification& notification);
    void post(std::string_view name, ObjectRef sender, Ref<Dictionary> userInfo = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Removes its observer when destroyed.
class BASE_EXPORT ScopedObserver {
public:
    ScopedObserver() = default;
    ScopedObserver(std::optional<NotificationName> name, const Object* sender,
                   NotificationCenter::Observer observer,
                   NotificationCenter& center = NotificationCenter::defaultCenter());
    ScopedObserver(ScopedObserver&& other) noexcept;
    ScopedObserver& operator=(ScopedObserver&& other) noexcept;
    ~ScopedObserver();
    void reset();

private:
    NotificationCenter* center_ = nullptr;
    NotificationCenter::Token token_ = 0;
};

}  // namespace base
