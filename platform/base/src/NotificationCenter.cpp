#include "Corral/base/NotificationCenter.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "Corral/base/String.h"

namespace base {

namespace {
struct Registration {
    NotificationCenter::Token token;
    std::optional<NotificationName> name;
    const Object* sender;
    NotificationCenter::Observer observer;
    std::atomic<bool> removed{false};
};
}  // namespace

struct NotificationCenter::State {
    std::mutex mutex;
    Token nextToken = 1;
    std::vector<std::shared_ptr<Registration>> registrations;
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
    state_->registrations.push_back(registration);
    return registration->token;
}

void NotificationCenter::removeObserver(Token token) {
    std::shared_ptr<Registration> removed;
    {
        std::lock_guard lock(state_->mutex);
        auto& list = state_->registrations;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if ((*it)->token == token) {
                removed = std::move(*it);
                list.erase(it);
                break;
            }
        }
    }
    if (removed) removed->removed = true;
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(state_->mutex);
        for (const auto& registration : state_->registrations) {
            if (registration->name && *registration->name != notification.name) continue;
            if (registration->sender && registration->sender != notification.object.get()) continue;
            matching.push_back(registration);
        }
    }
    for (const auto& registration : matching) {
        if (!registration->removed) registration->observer(notification);
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
