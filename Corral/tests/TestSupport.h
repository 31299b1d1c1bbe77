#pragma once
// Helpers shared by the Corral tests: recording notifications, calling the
// host bridge by name, as a host does, and recording what a remote
// live-view proxy tells its delegate.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Corral/PaddockRemoteView.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Runtime.h"

// Records every notification posted while it exists (optionally only one name).
class NotificationRecorder {
public:
    explicit NotificationRecorder(std::optional<std::string> name = std::nullopt)
        : observer_(std::move(name), nullptr,
                    [this](const base::Notification& n) { notifications.push_back(n); }) {}

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& n : notifications) result.push_back(n.name);
        return result;
    }

    std::vector<base::Notification> notifications;

private:
    base::ScopedObserver observer_;
};

// The bridge class as a host finds it: by name, through the runtime.
inline const base::Class& bridge() {
    const base::Class* cls = base::Runtime::shared().lookUpClass("_CorralFramework");
    if (!cls) throw std::runtime_error("_CorralFramework is not registered");
    return *cls;
}

// Records what a remote live-view proxy hands its delegate.
class RecordingProxyDelegate : public PaddockRemoteLiveViewProxyDelegate {
public:
    using Proxy = PaddockRemoteLiveViewProxy;
    void proxyConnectionDidClose(const base::Ref<Proxy>& proxy) override {
        closedBy.push_back(proxy);
    }
    void proxy(const base::Ref<Proxy>& proxy, const PaddockValue& message) override {
        receivedBy.push_back(proxy);
        received.push_back(message);
    }
    std::vector<base::Ref<Proxy>> closedBy;
    std::vector<base::Ref<Proxy>> receivedBy;
    std::vector<PaddockValue> received;
};
