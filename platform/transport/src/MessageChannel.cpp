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

// The reader stops reading while this much is waiting for the run loop.
constexpr std::size_t kMaxQueuedMessages = 1024;
constexpr std::size_t kMaxQueuedBytes = 8u << 20;

struct Item {
    enum class Kind { message, problem, closed } kind;
    base::ObjectRef message;
    std::string text;
    std::size_t bytes = 0;
};

std::string describeSize(std::uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

}  // namespace

struct MessageChannel::State {
    int socket = -1;
    Handlers handlers;
    base::RunLoop* loop = nullptr;
    std::thread::id loopThread;

    std::mutex mutex;  // guards the queue and the flags below it
    std::condition_variable room;
    std::deque<Item> queue;
    std::size_t queuedBytes = 0;
    bool drainPosted = false;
    bool detached = false;  // the channel is gone: hand nothing on

    // Frames go out strictly in the order they were sent: each is queued
    // here and written by whichever sender is the writer at the time.
    std::mutex writeMutex;
    std::condition_variable written;
    std::deque<std::pair<std::uint64_t, std::vector<std::uint8_t>>> outgoing;
    std::uint64_t lastQueued = 0;
    std::uint64_t lastWritten = 0;
    bool writerActive = false;
    // The writer is on the run loop's thread handing on received messages;
    // what their handlers send is queued behind the frame it is writing.
    bool writerHandingOn = false;
    bool writeFailed = false;
    bool reportedUnsent = false;

    bool isFull() const {
        return queue.size() >= kMaxQueuedMessages || queuedBytes >= kMaxQueuedBytes;
    }

    void enqueue(Item item) {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return detached || queue.empty() || !isFull(); });
        if (detached) return;
        queuedBytes += item.bytes;
        queue.push_back(std::move(item));
        if (!drainPosted) {
            drainPosted = true;
            loop->post([self = shared()] { self->drain(); });
        }
    }

    // Hands queued items to the handlers, in order, on the run loop's thread.
    void drain() {
        for (;;) {
            Item item;
            {
                std::lock_guard lock(mutex);
                if (queue.empty() || detached) {
                    drainPosted = false;
                    return;
                }
                item = std::move(queue.front());
                queue.pop_front();
                queuedBytes -= item.bytes;
                room.notify_all();
            }
            switch (item.kind) {
                case Item::Kind::message:
                    if (handlers.message) handlers.message(item.message);
                    break;
                case Item::Kind::problem:
                    if (handlers.problem) handlers.problem(item.text);
                    break;
                case Item::Kind::closed:
                    if (handlers.closed) handlers.closed(item.text);
                    break;
            }
        }
    }

    bool queueIsFull() {
        std::lock_guard lock(mutex);
        return isFull();
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
        std::vector<std::uint8_t> body;
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
            body.resize(size);
            if (size > 0 && readExactly(body.data(), size, reason) <= 0) {
                if (reason.empty()) reason = "the connection ended inside a frame";
                break;
            }
            try {
                // Only the binary format is the wire's: text that happens to
                // read as an old-style property list is not a message.
                if (base::propertyListFormatOf(body) != base::PropertyListFormat::binary) {
                    throw base::PropertyListError("not a binary property list");
                }
                enqueue({Item::Kind::message, base::readPropertyList(body).root, {}, size});
            } catch (const base::PropertyListError& e) {
                enqueue({Item::Kind::problem, nullptr,
                         "dropped a frame of " + describeSize(size) + ": " + e.what(), size});
            }
        }
        enqueue({Item::Kind::closed, nullptr, reason, 0});
    }

    // Waits until the socket takes more; when `mayHandOn`, hands on what the
    // reader queued whenever that is full, so that two sides that flood
    // each other do not wait for each other forever.
    void waitForRoom(bool mayHandOn) {
        pollfd poller{socket, POLLOUT, 0};
        while (::poll(&poller, 1, mayHandOn ? 20 : -1) == 0) {
            if (queueIsFull()) drain();
        }
    }

    // Queues the frame and writes the queue in order; false when the
    // connection is gone. A sender on the run loop's thread may hand on
    // queued messages only before a frame's first byte, with the write lock
    // released; a frame sent meanwhile by a handler joins the queue behind
    // the one being written, so neither is cut into nor overtaken. While
    // many frames wait, handing on stops, which bounds the queue.
    bool write(std::vector<std::uint8_t> frame) {
        bool onLoop = std::this_thread::get_id() == loopThread;
        std::unique_lock lock(writeMutex);
        std::uint64_t mine = ++lastQueued;
        outgoing.emplace_back(mine, std::move(frame));
        if (onLoop && !writerActive && queueIsFull()) {
            // Hand on first, with this frame already queued: what the
            // handlers send goes out after it (one of them may even write it).
            lock.unlock();
            drain();
            lock.lock();
            if (lastWritten >= mine || writeFailed) return !writeFailed;
        }
        if (writerActive) {
            if (onLoop && writerHandingOn) return !writeFailed;  // written after the current one
            written.wait(lock, [&] { return lastWritten >= mine || writeFailed || !writerActive; });
            if (lastWritten >= mine || writeFailed) return !writeFailed;
        }
        writerActive = true;
        while (!writeFailed && !outgoing.empty()) {
            const auto& [sequence, bytes] = outgoing.front();
            std::size_t done = 0;
            while (!writeFailed && done < bytes.size()) {
                ssize_t n = ::send(socket, bytes.data() + done, bytes.size() - done,
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) {
                    done += static_cast<std::size_t>(n);
                } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    bool handOn = onLoop && done == 0 && outgoing.size() < kMaxQueuedMessages;
                    writerHandingOn = handOn;
                    lock.unlock();
                    waitForRoom(handOn);
                    lock.lock();
                    writerHandingOn = false;
                } else if (n < 0 && errno != EINTR) {
                    writeFailed = true;
                }
            }
            if (writeFailed) break;
            lastWritten = sequence;
            outgoing.pop_front();
            written.notify_all();
        }
        if (writeFailed) outgoing.clear();
        writerActive = false;
        written.notify_all();
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
    state_->loopThread = std::this_thread::get_id();
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

void MessageChannel::close() { ::shutdown(state_->socket, SHUT_RDWR); }

}  // namespace transport
