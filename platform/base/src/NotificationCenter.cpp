#include "Corral/base/NotificationCenter.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Corral/base/String.h"

namespace base {

namespace {

struct Registration;
using RegistrationList = std::list<std::shared_ptr<Registration>>;

struct Registration {
    NotificationCenter::Token token = 0;
    std::optional<NotificationName> name;
    const Object* sender = nullptr;
    NotificationCenter::Observer observer;
    // The rest is guarded by the centre's mutex.
    bool removed = false;
    std::vector<std::thread::id> callers;  // threads inside a call right now
    RegistrationList::iterator position;   // in the list of its name
};

}  // namespace

struct NotificationCenter::State {
    std::mutex mutex;
    std::condition_variable callEnded;  // a call of a removed observer returned
    Token nextToken = 1;
    std::unordered_map<Token, std::shared_ptr<Registration>> byToken;
    std::unordered_map<NotificationName, RegistrationList> byName;
    RegistrationList anyName;  // observers of every notification

    RegistrationList& listFor(const std::optional<NotificationName>& name) {
        return name ? byName[*name] : anyName;
    }

    // The observers a notification reaches, in the order they were added.
    std::vector<std::shared_ptr<Registration>> matching(const Notification& notification) {
        std::vector<std::shared_ptr<Registration>> result;
        auto named = byName.find(notification.name);
        const RegistrationList empty;
        const RegistrationList& a = named == byName.end() ? empty : named->second;
        const RegistrationList& b = anyName;
        result.reserve(a.size() + b.size());
        auto wants = [&](const std::shared_ptr<Registration>& registration) {
            return !registration->sender || registration->sender == notification.object.get();
        };
        // Both lists are in token order; merge them so observers run in the
        // order they were added, whichever list holds them.
        auto i = a.begin(), j = b.begin();
        while (i != a.end() || j != b.end()) {
            bool fromA = j == b.end() || (i != a.end() && (*i)->token < (*j)->token);
            const auto& registration = fromA ? *i++ : *j++;
            if (wants(registration)) result.push_back(registration);
        }
        return result;
    }

    // Whether a call of `registration` is running on a thread other than this one.
    static bool calledElsewhere(const Registration& registration) {
        const auto self = std::this_thread::get_id();
        return std::any_of(registration.callers.begin(), registration.callers.end(),
                           [&](std::thread::id caller) { return caller != self; });
    }
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter();  // lives until exit
    return *center;
}

NotificationCenter::NotificationCenter() : state_(std::make_unique<State>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter::Token NotificationCenter::addObserver(std::optional<NotificationName> name,
                                                          const Object* sender, Observer observer) {
    auto registration = std::make_shared<Registration>();
    registration->name = std::move(name);
    registration->sender = sender;
    registration->observer = std::move(observer);
    std::lock_guard lock(state_->mutex);
    registration->token = state_->nextToken++;
    auto& list = state_->listFor(registration->name);
    registration->position = list.insert(list.end(), registration);
    state_->byToken.emplace(registration->token, registration);
    return registration->token;
}

void NotificationCenter::removeObserver(Token token) {
    Observer released;  // destroyed after the lock is let go
    {
        std::unique_lock lock(state_->mutex);
        auto found = state_->byToken.find(token);
        if (found == state_->byToken.end()) return;
        std::shared_ptr<Registration> registration = std::move(found->second);
        state_->byToken.erase(found);
        registration->removed = true;
        auto& list = state_->listFor(registration->name);
        list.erase(registration->position);
        if (list.empty() && registration->name) state_->byName.erase(*registration->name);
        // Calls on other threads finish first. A call on this thread (the
        // observer removing itself, or one further up this thread's stack)
        // cannot be waited for; it releases the observer when it returns.
        state_->callEnded.wait(lock, [&] { return !State::calledElsewhere(*registration); });
        if (registration->callers.empty()) released = std::move(registration->observer);
    }
}

void NotificationCenter::post(const Notification& notification) {
    State& state = *state_;
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(state.mutex);
        matching = state.matching(notification);
    }
    for (const auto& registration : matching) {
        {
            std::lock_guard lock(state.mutex);
            if (registration->removed) continue;
            registration->callers.push_back(std::this_thread::get_id());
        }
        // Leaves the call even when the observer throws, and wakes a removal
        // that is waiting for it.
        struct Leave {
            State& state;
            Registration& registration;
            ~Leave() {
                Observer released;
                std::lock_guard lock(state.mutex);
                auto& callers = registration.callers;
                callers.erase(
                    std::find(callers.begin(), callers.end(), std::this_thread::get_id()));
                if (!registration.removed) return;
                state.callEnded.notify_all();
                if (callers.empty()) released = std::move(registration.observer);
            }
        } leave{state, *registration};
        registration->observer(notification);
    }
}

void NotificationCenter::post(std::string_view name, ObjectRef sender, Ref<Dictionary> userInfo) {
    post(Notification{NotificationName(name), std::move(sender), std::move(userInfo)});
}

ScopedObserver::ScopedObserver(std::optional<NotificationName> name, const Object* sender,
                               NotificationCenter::Observer observer, NotificationCenter& center)
    : center_(&center), token_(center.addObserver(std::move(name), sender, std::move(observer))) {}

ScopedObserver::ScopedObserver(ScopedObserver&& other) noexcept
    : center_(other.center_), token_(other.token_) {
    other.center_ = nullptr;
}

ScopedObserver& ScopedObserver::operator=(ScopedObserver&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = other.center_;
        token_ = other.token_;
        other.center_ = nullptr;
    }
    return *this;
}

ScopedObserver::~ScopedObserver() { reset(); }

void ScopedObserver::reset() {
    if (center_) center_->removeObserver(token_);
    center_ = nullptr;
}

}  // namespace base
