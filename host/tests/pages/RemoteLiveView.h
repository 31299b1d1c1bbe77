#pragma once
// What the test pages that talk to a live view in another process share:
// the page's proxy for that live view, with a delegate that keeps what it
// hears and, if asked to, prints it as it arrives.
#include <memory>
#include <string>
#include <vector>

#include "Corral/Corral.h"

namespace test_pages {

class Listener : public PaddockRemoteLiveViewProxyDelegate {
public:
    explicit Listener(bool prints) : prints_(prints) {}
    void proxy(const base::Ref<PaddockRemoteLiveViewProxy>&, const PaddockValue& message) override {
        if (prints_) base::print("received:", message.asString() ? *message.asString() : "a value");
        messages.push_back(message);
    }
    void proxyConnectionDidClose(const base::Ref<PaddockRemoteLiveViewProxy>&) override {
        closed = true;
        if (prints_) base::print("the proxy's delegate heard the close");
    }
    std::vector<PaddockValue> messages;
    bool closed = false;

private:
    bool prints_;
};

struct RemoteLiveView {
    base::Ref<PaddockRemoteLiveViewProxy> proxy;  // null: the live view runs in this process
    std::shared_ptr<Listener> listener;
};

// The page's live view when it runs in another process, listened to.
inline RemoteLiveView listenToRemoteLiveView(bool prints) {
    auto live = PaddockPage::current().liveView();
    RemoteLiveView remote{live ? live->as<PaddockRemoteLiveViewProxy>() : nullptr, nullptr};
    if (!remote.proxy) return remote;
    remote.listener = std::make_shared<Listener>(prints);
    remote.proxy->setDelegate(remote.listener);
    return remote;
}

}  // namespace test_pages
