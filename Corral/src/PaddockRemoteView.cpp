// The message channel between page code and a live view, and the proxy
// that stands in for a live view running in another process.
#include "Corral/PaddockRemoteView.h"

#include "BoundedObjectRepresentation.h"
#include "Corral/base/Exception.h"
#include "CorralLog.h"
#include "PaddockPageAccess.h"

namespace {
// The source name that fatal-error reports of this unit carry.
constexpr const char* kSource = "Corral/PaddockRemoteView";
}  // namespace

PaddockLiveViewMessageHandler::~PaddockLiveViewMessageHandler() = default;

void PaddockLiveViewMessageHandler::send(const PaddockValue& message) const {
    // Held for the whole call: a sender replaced meanwhile stays alive.
    const auto sender = PaddockPageAccess::liveViewMessageSender(PaddockPage::current());
    if (!sender) {
        diagnosticLogger().write(base::LogLevel::error,
                                 "send: no live-view message sender is installed; the message "
                                 "is dropped");
        return;
    }
    auto object = boundedObjectRepresentation(message, "send: the message", "it is not sent");
    if (object) (*sender)(*object);
}

PaddockRemoteLiveViewProxyDelegate::~PaddockRemoteLiveViewProxyDelegate() = default;

PaddockRemoteLiveViewProxy::~PaddockRemoteLiveViewProxy() = default;

base::Ref<PaddockRemoteLiveViewProxy> PaddockRemoteLiveViewProxy::make() {
    return base::Ref<PaddockRemoteLiveViewProxy>(new PaddockRemoteLiveViewProxy());
}

base::Ref<PaddockRemoteLiveViewProxy> PaddockRemoteLiveViewProxy::selfProxy() {
    return std::static_pointer_cast<PaddockRemoteLiveViewProxy>(self());
}

void PaddockRemoteLiveViewProxy::liveViewMessageConnectionOpened() {
    base::fatalError(kSource, __LINE__,
                     "The proxy should not be informed that the connection opened as the "
                     "connection should be opened before the proxy exists!");
}

void PaddockRemoteLiveViewProxy::liveViewMessageConnectionClosed() {
    // The delegate is held for the call, so it may let go of itself meanwhile.
    if (auto delegate = delegate_.lock()) delegate->proxyConnectionDidClose(selfProxy());
}

void PaddockRemoteLiveViewProxy::receive(const PaddockValue& message) {
    if (auto delegate = delegate_.lock()) delegate->proxy(selfProxy(), message);
}

PaddockLiveViewRepresentation PaddockRemoteLiveViewProxy::paddockLiveViewRepresentation() const {
    base::fatalError(kSource, __LINE__,
                     "PaddockRemoteLiveViewProxy cannot provide a normal live view "
                     "representation");
}
