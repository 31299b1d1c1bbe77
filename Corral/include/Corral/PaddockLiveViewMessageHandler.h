#pragma once
// One end of the message channel between page code and its live view.
//
// A live view takes part by deriving from PaddockLiveViewMessageHandler as
// well as from its view or view-controller class (any class derived from
// base::Object and held by base::Ref will do; the page finds the handler
// through the object it holds as its live view). The host calls the three
// virtual operations while the object is the page's live view; each does
// nothing unless overridden, so an adopter overrides only what it needs.
//
// send() is the same for every adopter and cannot be overridden: it hands
// the message, in its object representation, to the live-view message
// sender the host installed in this process.

#include "Corral/CorralExport.h"
#include "Corral/PaddockValue.h"

class CORRAL_EXPORT PaddockLiveViewMessageHandler {
public:
    virtual ~PaddockLiveViewMessageHandler();

    // The host opened the message connection.
    virtual void liveViewMessageConnectionOpened() {}
    // The host closed the message connection.
    virtual void liveViewMessageConnectionClosed() {}
    // A message arrived from the other end.
    virtual void receive(const PaddockValue& /*message*/) {}

    // Sends `message` to the other end, synchronously: returns after the
    // host's sender has returned. Without a sender (the host has not
    // installed one) the message is dropped and the drop is written to the
    // unified log (category "Diagnostics"). So is a message too large for
    // any transport: one whose parts are shared so often that, written out,
    // it would take more than 64 MiB (as for the key-value store).
    void send(const PaddockValue& message) const;

protected:
    PaddockLiveViewMessageHandler() = default;
    PaddockLiveViewMessageHandler(const PaddockLiveViewMessageHandler&) = default;
    PaddockLiveViewMessageHandler& operator=(const PaddockLiveViewMessageHandler&) = default;
};
