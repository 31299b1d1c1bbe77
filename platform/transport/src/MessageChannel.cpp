#include "Corral/transport/MessageChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "Corral/plist/PropertyList.h"

namespace transport {

namespace {

// The reader stops reading while this much waits for the run loop...
constexpr std::size_t kMaxQueuedMessages = 1024;
constexpr std::size_t kMaxQueuedBytes = 8u << 20;
// ...unless a sender of this side is blocked; then it reads on up to this,
// and closes the connection past it.
constexpr std::size_t kHardMaxQueuedBytes = 256u << 20;
// What a queued frame costs beyond its bytes, counted against the limits.
constexpr std::size_t kItemOverhead = 64;
// How often a blocked sender looks whether the channel was closed meanwhile.
constexpr int kSendPollMilliseconds = 200;

struct Item {
    enum class Kind { message, closed } kind;
    std::vector<std::uint8_t> frame;  // a message's body, decoded when delivered
    std::string text;
    std::size_t bytes = 0;
};

std::string describeSize(std::uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

}  // namespace

struct MessageChannel::State {
    int socket = -1;
    Handlers handlers;
    base::RunLoop* loop = nullptr;

    std::mutex mutex;  // guards the queue and the flags below it
    std::condition_variable room;
    std::deque<Item> queue;
    std::size_t queuedBytes = 0;
    bool deliveryPosted = false;
    bool detached = false;  // the channel is gone: hand nothing on
    bool closing = false;   // close() was called: blocked senders give up
    int blockedSenders = 0;

    // One frame at a time goes out; frames of one thread keep their order.
    std::mutex writeMutex;
    bool writeFailed = false;
    bool reportedUnsent = false;

    bool isFull() const {
        return queue.size() >= kMaxQueuedMessages || queuedBytes >= kMaxQueuedBytes;
    }

    void push(Item item) {
        queuedBytes += item.bytes;
        queue.push_back(std::move(item));
        if (!deliveryPosted) {
            deliveryPosted = true;
            loop->post([self = shared()] { self->deliverOne(); });
        }
    }

    // Queues a received item, waiting while the queue is full and no sender
    // of this side is blocked. False, with the reason, when the peer went
    // past the hard limit (or the channel is gone).
    bool enqueue(Item item, std::string& reason) {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return detached || !isFull() || blockedSenders > 0; });
        if (detached) return false;
        if (queuedBytes + item.bytes > kHardMaxQueuedBytes) {
            reason = "more than " + describeSize(kHardMaxQueuedBytes) +
                     " of messages arrived while this side was blocked sending: the connection "
                     "is closed so that neither side waits for the other forever";
            return false;
        }
        push(std::move(item));
        return true;
    }

    // The end of the connection is always queued, behind every message.
    void enqueueClosed(std::string reason) {
        std::lock_guard lock(mutex);
        if (!detached) push({Item::Kind::closed, {}, std::move(reason), 0});
    }

    // Hands the oldest item to its handler, on the run loop's thread. The
    // next one gets a turn of its own, posted before this handler runs so
    // that a handler that runs the loop itself (to wait for an answer)
    // still receives what follows, in order.
    void deliverOne() {
        Item item;
        {
            std::lock_guard lock(mutex);
            if (queue.empty() || detached) {
                deliveryPosted = false;
                return;
            }
            item = std::move(queue.front());
            queue.pop_front();
            queuedBytes -= item.bytes;
            room.notify_all();
            if (queue.empty()) {
                deliveryPosted = false;
            } else {
                loop->post([self = shared()] { self->deliverOne(); });
            }
        }
        switch (item.kind) {
            case Item::Kind::message: {
                base::ObjectRef message;
                std::string problem;
                try {
                    // Only the binary format is the wire's: text that happens
                    // to read as an old-style property list is not a message.
                    if (base::propertyListFormatOf(item.frame) !=
                        base::PropertyListFormat::binary) {
                        throw base::PropertyListError("not a binary property list");
                    }
                    message = base::readPropertyList(item.frame).root;
                } catch (const base::PropertyListError& e) {
                    problem =
                        "dropped a frame of " + describeSize(item.frame.size()) + ": " + e.what();
                }
                item.frame = {};
                if (!problem.empty()) {
                    if (handlers.problem) handlers.problem(problem);
                } else if (handlers.message) {
                    handlers.message(message);
                }
                break;
            }
            case Item::Kind::closed:
                if (handlers.closed) handlers.closed(item.text);
                break;
        }
    }

    // Reads exactly `size` bytes: 1 when read, 0 at the end of the input
    // before the first byte, -1 otherwise (reason in `error`).
    int readExactly(std::uint8_t* into, std::size_t size, std::string& error) {
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::recv(socket, into + done, size - done, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = std::string("cannot read from the connection: ") + std::strerror(errno);
                return -1;
            }
            if (n == 0) {
                if (done == 0) return 0;
                error = "the connection ended inside a frame";
                return -1;
            }
            done += static_cast<std::size_t>(n);
        }
        return 1;
    }

    void read() {
        std::string reason;
        for (;;) {
            std::uint8_t header[4];
            int got = readExactly(header, sizeof header, reason);
            if (got <= 0) break;
            std::uint32_t size = std::uint32_t(header[0]) << 24 | std::uint32_t(header[1]) << 16 |
                                 std::uint32_t(header[2]) << 8 | header[3];
            if (size > maxFrameSize) {
                reason = "a frame announced " + describeSize(size) + ", more than the limit of " +
                         describeSize(maxFrameSize) + ": the connection is closed";
                ::shutdown(socket, SHUT_RDWR);
                break;
            }
            std::vector<std::uint8_t> body(size);
            if (size > 0 && readExactly(body.data(), size, reason) <= 0) {
                if (reason.empty()) reason = "the connection ended inside a frame";
                break;
            }
            if (!enqueue({Item::Kind::message, std::move(body), {}, size + kItemOverhead},
                         reason)) {
                ::shutdown(socket, SHUT_RDWR);
                break;
            }
        }
        enqueueClosed(reason);
    }

    // Waits until the socket takes more or the channel is closed; the
    // reader reads on meanwhile (see enqueue).
    void waitForRoom() {
        {
            std::lock_guard lock(mutex);
            ++blockedSenders;
            room.notify_all();
        }
        pollfd poller{socket, POLLOUT, 0};
        for (;;) {
            int ready = ::poll(&poller, 1, kSendPollMilliseconds);
            if (ready != 0 && !(ready < 0 && errno == EINTR)) break;
            std::lock_guard lock(mutex);
            if (closing || detached) break;
        }
        std::lock_guard lock(mutex);
        --blockedSenders;
    }

    // Writes one frame whole; false when the connection is gone.
    bool write(const std::vector<std::uint8_t>& frame) {
        std::lock_guard lock(writeMutex);
        std::size_t done = 0;
        while (!writeFailed && done < frame.size()) {
            ssize_t n = ::send(socket, frame.data() + done, frame.size() - done,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                waitForRoom();
                std::lock_guard stateLock(mutex);
                if (closing || detached) writeFailed = true;
            } else if (n < 0 && errno != EINTR) {
                writeFailed = true;
            }
        }
        return !writeFailed;
    }

    std::shared_ptr<State> shared() { return self.lock(); }
    std::weak_ptr<State> self;
};

std::vector<std::uint8_t> encodeFrame(const base::ObjectRef& message) {
    auto body = base::writePropertyList(message, base::PropertyListFormat::binary, 64);
    if (body.size() > maxFrameSize) {
        throw base::PropertyListError("the message takes " + describeSize(body.size()) +
                                      ", more than the limit of " + describeSize(maxFrameSize));
    }
    auto size = static_cast<std::uint32_t>(body.size());
    std::vector<std::uint8_t> frame(4 + body.size());
    for (int i = 0; i < 4; ++i)
        frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    std::copy(body.begin(), body.end(), frame.begin() + 4);
    return frame;
}

MessageChannel::MessageChannel(int socket, Handlers handlers, base::RunLoop& loop)
    : state_(std::make_shared<State>()) {
    state_->self = state_;
    state_->socket = socket;
    state_->handlers = std::move(handlers);
    state_->loop = &loop;
}

MessageChannel::~MessageChannel() {
    {
        std::lock_guard lock(state_->mutex);
        state_->detached = true;
        state_->room.notify_all();
    }
    ::shutdown(state_->socket, SHUT_RDWR);  // wakes the reader
    if (reader_.joinable()) reader_.join();
    ::close(state_->socket);
    state_->self.reset();
}

void MessageChannel::start() {
    reader_ = std::thread([state = state_] { state->read(); });
}

bool MessageChannel::send(const base::ObjectRef& message) {
    std::string problem;
    try {
        if (state_->write(encodeFrame(message))) return true;
        std::lock_guard lock(state_->writeMutex);
        if (state_->reportedUnsent) return false;
        state_->reportedUnsent = true;
        problem = "the connection is closed: messages sent from now on are dropped";
    } catch (const base::PropertyListError& e) {
        problem = std::string("a message could not be sent: ") + e.what();
    }
    if (state_->handlers.problem) state_->handlers.problem(problem);
    return false;
}

void MessageChannel::close() {
    {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
    }
    ::shutdown(state_->socket, SHUT_RDWR);
}

void MessageChannel::closeWriting() { ::shutdown(state_->socket, SHUT_WR); }

}  // namespace transport
