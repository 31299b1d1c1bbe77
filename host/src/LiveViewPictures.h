#pragma once
// Relays the pictures a live view in its own process draws of itself (see
// the live-view agent) as the protocol's live-view events:
//   {"event":"liveView","svg":...,"width":W,"height":H,"fullScreen":bool}
// the same event a live view in the page's own process gives.
//
// The pictures come on a connection of their own, read and relayed on a
// thread of their own: a page that is busy, or a flood of messages between
// page and live view, does not hold back the picture, and a picture never
// waits behind messages. A message that is not a well-formed picture is
// dropped with a host message.

#include <memory>
#include <mutex>
#include <thread>

#include "Corral/base/RunLoop.h"
#include "Corral/transport/MessageChannel.h"
#include "ProtocolWriter.h"

namespace host {

class LiveViewPictures {
public:
    // Takes ownership of `socket` and starts relaying.
    LiveViewPictures(int socket, ProtocolWriter& transcript);
    ~LiveViewPictures();
    LiveViewPictures(const LiveViewPictures&) = delete;
    LiveViewPictures& operator=(const LiveViewPictures&) = delete;

    // Stops relaying: once it returns no further picture is sent, and what
    // has not been relayed yet is dropped. Safe from any thread and any
    // number of times.
    void stop();

    // The event for one picture message, or null when it is not a picture.
    static Json eventFor(const base::ObjectRef& message);

private:
    ProtocolWriter& transcript_;
    base::RunLoop loop_;
    std::unique_ptr<transport::MessageChannel> channel_;
    std::thread thread_;
    std::mutex stopMutex_;
    bool stopped_ = false;
};

}  // namespace host
