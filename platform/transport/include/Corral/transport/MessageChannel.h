#pragma once
// One end of a live-view message connection on a stream socket, shared by
// the host (in the page's process) and the live-view agent (in the live
// view's process).
//
// Each message is one frame: a 4-byte big-endian length, then that many
// bytes of a binary property list holding the message in its object
// representation.
//
// Sending writes the frame synchronously: while the socket is full the
// sender blocks until the other side has read enough (back-pressure), so a
// page that sends in a tight loop cannot make either process buffer without
// bound. Sending never runs a handler: a blocked sender only waits.
//
// A reader thread reads frames and queues them for the run loop, which
// hands them to the handlers one per turn of the loop, in order, and never
// inside another handler's send. The queue is bounded: while it is full
// the reader stops reading. While a sender of this side is blocked, the
// other side may be blocked sending to this one (both flooding each other),
// so the reader reads on, up to a much larger hard limit; a peer that goes
// past even that closes the connection with the reason. So the two sides
// cannot wait for each other forever, and memory stays bounded.
//
// A frame that is not a property list is dropped and reported; the
// connection stays up. A length above maxFrameSize, a frame cut short, a
// read error or the end of the input close the connection; the closed
// handler runs once, after every message read before it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Corral/base/Object.h"
#include "Corral/base/RunLoop.h"
#include "Corral/transport/TransportExport.h"

namespace transport {

inline constexpr std::uint32_t maxFrameSize = 64u << 20;

// One frame holding `message`; throws base::PropertyListError when the
// message has no property-list form.
TRANSPORT_EXPORT std::vector<std::uint8_t> encodeFrame(const base::ObjectRef& message);

class TRANSPORT_EXPORT MessageChannel {
public:
    // The handlers run on the run loop's thread, one per turn of the loop,
    // except a problem with sending, which is reported on the sending thread.
    struct Handlers {
        std::function<void(const base::ObjectRef&)> message;
        // A frame was dropped, or a message could not be sent.
        std::function<void(const std::string&)> problem;
        // The connection ended: an empty reason for an orderly end of input.
        std::function<void(const std::string&)> closed;
    };

    // Takes ownership of `socket`. Construct it on the run loop's thread.
    MessageChannel(int socket, Handlers handlers, base::RunLoop& loop = base::RunLoop::main());
    ~MessageChannel();
    MessageChannel(const MessageChannel&) = delete;
    MessageChannel& operator=(const MessageChannel&) = delete;

    // Starts the reader thread.
    void start();
    // Sends one message, blocking while the socket is full. False when the
    // message could not be sent (no property-list form, or the connection is
    // closed); the problem handler hears why.
    bool send(const base::ObjectRef& message);
    // Ends the connection both ways; the other side reads the end of its
    // input, and a sender blocked on this side gives up. Safe from any thread.
    void close();
    // Ends this side's output only: the other side reads the end of its
    // input, while it can still write back. Safe from any thread.
    void closeWriting();

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread reader_;
};

}  // namespace transport
