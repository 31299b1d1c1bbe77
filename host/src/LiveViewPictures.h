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

#include <chrono>
#include <condition_variable>
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
    // Relays what the live view still sends until it closes its end (it
    // sends its last picture as it ends), waiting at most `patience`, then
    // stops.
    void finish(std::chrono::milliseconds patience);

    // The event for one picture message, or null when it is not a picture.
    static Json eventFor(const base::ObjectRef& message);

private:
    ProtocolWriter& transcript_;
    base::RunLoop loop_;
    std::unique_ptr<transport::MessageChannel> channel_;
    std::thread thread_;
    std::mutex stopMutex_;
    bool stopped_ = false;
    std::mutex endMutex_;  // guards ended_
    std::condition_variable endCondition_;
    bool ended_ = false;  // every picture sent has been relayed
};

}  // namespace host
