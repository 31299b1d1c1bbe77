#pragma once
// The host's part of a live-view message connection in one process, as a
// host would build it on a stream socket to the other process:
//
// - installSender() installs, through the bridge entry
//   "setLiveViewMessageSender:", a sender that writes each message the page
//   sends as one frame;
// - startReading() reads frames on a thread of its own and, on the main run
//   loop, hands each to the page through "deliverLiveViewMessage:"; at the
//   end of the input it reports "liveViewMessageConnectionClosed" there and
//   the channel reads as closed;
// - closeWriting() ends this side's output: the other side reads the end
//   of its input, while it can still write back.
//
// A frame that cannot be read ends the reading like the end of the input,
// with the reason kept in error().

#include <memory>
#include <string>
#include <thread>

namespace wire {

class MessageChannel {
public:
    // Takes ownership of `socket`.
    explicit MessageChannel(int socket);
    ~MessageChannel();
    MessageChannel(const MessageChannel&) = delete;
    MessageChannel& operator=(const MessageChannel&) = delete;

    void installSender();
    void startReading();
    void closeWriting();

    // Whether the close has been reported to the page; read on the main thread.
    bool closed() const;
    // Why reading stopped early, or empty.
    std::string error() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread reader_;
};

}  // namespace wire
