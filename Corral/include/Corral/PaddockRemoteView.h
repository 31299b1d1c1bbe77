#pragma once
// A live view that runs in another process, as page code sees it.
//
// When the host announces a remote live view (the bridge entry
// "setRemoteLiveViewIsAvailable:" with true), the page's live view becomes a
// PaddockRemoteLiveViewProxy. Page code takes it from the page, sets itself
// (or any object of its own) as the proxy's delegate and talks to the
// remote live view: send() goes out through the host, and what the remote
// live view sends back, and the closing of the connection, reach the
// delegate. The proxy holds its delegate weakly.
//
// Only the library creates proxies; the page never shows one itself and
// never asks it for a representation.

#include "Corral/CorralExport.h"
#include "Corral/PaddockLiveViewMessageHandler.h"
#include "Corral/PaddockLiveViewable.h"
#include "Corral/PaddockValue.h"
#include "Corral/base/Object.h"

class CorralFramework;
class PaddockRemoteLiveViewProxy;

// What a proxy tells page code. Adopted by classes held by base::Ref.
class CORRAL_EXPORT PaddockRemoteLiveViewProxyDelegate {
public:
    virtual ~PaddockRemoteLiveViewProxyDelegate();

    // The message connection to the remote live view closed.
    virtual void proxyConnectionDidClose(const base::Ref<PaddockRemoteLiveViewProxy>& proxy) = 0;
    // The remote live view sent `message` (the proxy's "did receive").
    virtual void proxy(const base::Ref<PaddockRemoteLiveViewProxy>& proxy,
                       const PaddockValue& message) = 0;

protected:
    PaddockRemoteLiveViewProxyDelegate() = default;
    PaddockRemoteLiveViewProxyDelegate(const PaddockRemoteLiveViewProxyDelegate&) = default;
    PaddockRemoteLiveViewProxyDelegate& operator=(const PaddockRemoteLiveViewProxyDelegate&) =
        default;
};

class CORRAL_EXPORT PaddockRemoteLiveViewProxy final : public base::Object,
                                                       public PaddockLiveViewMessageHandler {
public:
    ~PaddockRemoteLiveViewProxy() override;

    // The delegate, or empty when none was set or it no longer exists. The
    // proxy does not keep its delegate alive.
    base::Ref<PaddockRemoteLiveViewProxyDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(base::WeakRef<PaddockRemoteLiveViewProxyDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The connection is open before a proxy exists, so telling a proxy that
    // it opened is a programming error: the process stops.
    void liveViewMessageConnectionOpened() override;
    // Tells the delegate, if there is one.
    void liveViewMessageConnectionClosed() override;
    // Hands the message to the delegate; without one it is dropped.
    void receive(const PaddockValue& message) override;

    // A remote live view has nothing to show in this process: asking is a
    // programming error and stops the process.
    PaddockLiveViewRepresentation paddockLiveViewRepresentation() const;

    std::string className() const override { return "PaddockRemoteLiveViewProxy"; }

private:
    friend class CorralFramework;
    PaddockRemoteLiveViewProxy() = default;
    static base::Ref<PaddockRemoteLiveViewProxy> make();
    base::Ref<PaddockRemoteLiveViewProxy> selfProxy();

    base::WeakRef<PaddockRemoteLiveViewProxyDelegate> delegate_;
};
