#pragma once
// Helpers shared by the Corral tests: calling the host bridge by name, as a
// host does, and recording what a remote live-view proxy tells its
// delegate (notifications are recorded by the shared NotificationRecorder).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Corral/PaddockRemoteView.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Runtime.h"
#include "Corral/testing/Recorders.h"

using testing_support::NotificationRecorder;

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
