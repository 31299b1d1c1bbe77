// The transport inside one process: a socket pair, one end on the main run
// loop and the other on a thread of its own with a run loop of its own.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/testing/HostilePropertyLists.h"
#include "Corral/transport/MessageChannel.h"

namespace {

using transport::MessageChannel;

// Ends the process with a message if the test is still running after
// `seconds`: a deadlock fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(const char* what, int seconds) {
        thread_ = std::thread([this, what, seconds] {
            std::unique_lock lock(mutex_);
            if (!done_.wait_for(lock, std::chrono::seconds(seconds), [&] { return finished_; })) {
                std::fprintf(stderr, "%s: still waiting after %d seconds, deadlocked\n", what,
                             seconds);
                std::_Exit(1);
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// The other end, on a thread of its own: answers every message with the
// same message.
class EchoingPeer {
public:
    explicit EchoingPeer(int socket) {
        thread_ = std::thread([socket] {
            base::RunLoop loop;
            bool closed = false;
            std::unique_ptr<MessageChannel> channel;
            channel = std::make_unique<MessageChannel>(
                socket,
                MessageChannel::Handlers{
                    [&](const base::ObjectRef& message) { channel->send(message); },
                    {},
                    [&](const std::string&) { closed = true; }},
                loop);
            channel->start();
            loop.runUntil([&] { return closed; }, std::chrono::seconds(120));
        });
    }
    ~EchoingPeer() { thread_.join(); }

private:
    std::thread thread_;
};

// The index a message carries: the number itself, or the first byte pair
// of a data message.
std::int64_t indexOf(const base::ObjectRef& message) {
    if (auto n = base::cast<base::Number>(message)) return n->integerValue();
    if (auto d = base::cast<base::Data>(message); d && d->bytes().size() >= 2) {
        return d->bytes()[0] << 8 | d->bytes()[1];
    }
    return -1;
}

// One end of a mutual flood, on the calling thread: sends `count` messages
// made by `make` without running `loop`, then runs it until `count`
// messages have come back from the other end, which does the same.
std::vector<std::int64_t> flood(int socket, base::RunLoop& loop, std::int64_t count,
                                const std::function<base::ObjectRef(std::int64_t)>& make) {
    std::vector<std::int64_t> received;
    std::vector<std::string> problems;
    {
        MessageChannel channel(
            socket,
            {[&](const base::ObjectRef& message) { received.push_back(indexOf(message)); },
             [&](const std::string& problem) { problems.push_back(problem); },
             {}},
            loop);
        channel.start();
        for (std::int64_t i = 0; i < count; ++i) {
            if (!channel.send(make(i))) break;
        }
        loop.runUntil([&] { return static_cast<std::int64_t>(received.size()) >= count; },
                      std::chrono::seconds(60));
        // The other end may still be reading what this one sent.
        loop.runUntil([&] { return false; }, std::chrono::milliseconds(100));
    }
    if (!problems.empty()) received.push_back(-2);
    return received;
}

void floodBothWays(std::int64_t count, const std::function<base::ObjectRef(std::int64_t)>& make) {
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    Watchdog watchdog("mutual flood", 120);
    std::vector<std::int64_t> atPeer;
    std::thread peer([&] {
        base::RunLoop loop;
        atPeer = flood(sockets[1], loop, count, make);
    });
    auto atPage = flood(sockets[0], base::RunLoop::main(), count, make);
    peer.join();
    std::vector<std::int64_t> expected;
    for (std::int64_t i = 0; i < count; ++i) expected.push_back(i);
    EXPECT_EQ(atPage, expected);
    EXPECT_EQ(atPeer, expected);
}

// Sends `count` messages made by `make` without running the loop, while
// the peer answers each one; every answer must come back, in order.
void floodAgainstAnEchoingPeer(std::int64_t count,
                               const std::function<base::ObjectRef(std::int64_t)>& make) {
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    Watchdog watchdog("flood against an echoing peer", 120);
    EchoingPeer peer(sockets[1]);
    std::vector<std::int64_t> replies;
    std::vector<std::string> problems;
    bool closed = false;
    {
        MessageChannel page(
            sockets[0],
            {[&](const base::ObjectRef& message) { replies.push_back(indexOf(message)); },
             [&](const std::string& problem) { problems.push_back(problem); },
             [&](const std::string&) { closed = true; }});
        page.start();
        for (std::int64_t i = 0; i < count; ++i) ASSERT_TRUE(page.send(make(i))) << i;
        EXPECT_TRUE(base::RunLoop::main().runUntil(
            [&] { return static_cast<std::int64_t>(replies.size()) == count; },
            std::chrono::seconds(60)));
        page.close();
        EXPECT_TRUE(
            base::RunLoop::main().runUntil([&] { return closed; }, std::chrono::seconds(10)));
    }
    ASSERT_EQ(static_cast<std::int64_t>(replies.size()), count);
    for (std::int64_t i = 0; i < count; ++i) ASSERT_EQ(replies[i], i);
    EXPECT_TRUE(problems.empty());
}

// A data message of `megabytes` MiB whose first two bytes hold `i`.
base::ObjectRef data(std::int64_t i, std::size_t megabytes) {
    std::vector<std::uint8_t> bytes(megabytes << 20, 0x5a);
    bytes[0] = static_cast<std::uint8_t>(i >> 8);
    bytes[1] = static_cast<std::uint8_t>(i);
    return base::Data::make(std::move(bytes));
}

base::ObjectRef megabyte(std::int64_t i) { return data(i, 1); }
// More than the receiving queue holds: each message fills it alone.
base::ObjectRef twelveMegabytes(std::int64_t i) { return data(i, 12); }

base::ObjectRef number(std::int64_t i) { return base::Number::initWithInteger(i); }

}  // namespace

TEST(MessageChannelTest, FloodAgainstAnEchoingPeerNeitherDeadlocksNorLosesOrReorders) {
    // Far more messages than the sockets and both queues hold.
    floodAgainstAnEchoingPeer(20000, number);
    floodAgainstAnEchoingPeer(64, megabyte);
    floodAgainstAnEchoingPeer(8, twelveMegabytes);
}

TEST(MessageChannelTest, MutualFloodNeitherDeadlocksNorLosesOrReorders) {
    // Both ends send before either reads. With one-megabyte messages each
    // frame fills the socket many times over: both ends block in the
    // middle of a frame.
    floodBothWays(20000, number);
    floodBothWays(64, megabyte);
    floodBothWays(8, twelveMegabytes);
}

TEST(MessageChannelTest, HandlersRunOneAtATimeInOrderNeverInsideASend) {
    // The peer floods while the page answers each message from its
    // handler: the page's sends block, and must not hand the next message
    // to the handler while they do.
    constexpr std::int64_t kMessages = 20000;
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    Watchdog watchdog("flood with answers", 120);
    std::atomic<std::int64_t> answered{0};
    std::thread peer([socket = sockets[1], &answered] {
        // Its reader starts only once everything is sent: until then the
        // page's answers pile up and the page's sends block.
        base::RunLoop loop;
        MessageChannel channel(socket, {[&](const base::ObjectRef&) { ++answered; }, {}, {}}, loop);
        for (std::int64_t i = 0; i < kMessages; ++i) {
            if (!channel.send(base::Number::initWithInteger(i))) return;
        }
        channel.start();
        loop.runUntil([&] { return answered == kMessages; }, std::chrono::seconds(60));
    });

    int depth = 0;
    int deepest = 0;
    std::vector<std::int64_t> received;
    std::unique_ptr<MessageChannel> page;
    page = std::make_unique<MessageChannel>(
        sockets[0], MessageChannel::Handlers{[&](const base::ObjectRef& message) {
                                                 ++depth;
                                                 deepest = std::max(deepest, depth);
                                                 received.push_back(indexOf(message));
                                                 page->send(message);
                                                 --depth;
                                             },
                                             {},
                                             {}});
    page->start();
    EXPECT_TRUE(base::RunLoop::main().runUntil(
        [&] { return static_cast<std::int64_t>(received.size()) == kMessages; },
        std::chrono::seconds(60)));
    peer.join();
    page.reset();
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(answered, kMessages);
    ASSERT_EQ(static_cast<std::int64_t>(received.size()), kMessages);
    for (std::int64_t i = 0; i < kMessages; ++i) ASSERT_EQ(received[i], i);
}

TEST(MessageChannelTest, FramesAreBigEndianLengthAndABinaryPropertyList) {
    auto frame = transport::encodeFrame(base::String::make("hi"));
    ASSERT_GT(frame.size(), 4u);
    std::uint32_t length =
        std::uint32_t(frame[0]) << 24 | frame[1] << 16 | frame[2] << 8 | frame[3];
    EXPECT_EQ(length, frame.size() - 4);
    EXPECT_EQ(std::string(frame.begin() + 4, frame.begin() + 10), "bplist");
    EXPECT_THROW(transport::encodeFrame(base::Null::null()), base::PropertyListError);
}

TEST(MessageChannelTest, AFrameThatWouldExpandFarBeyondItsSizeIsDroppedAndTheNextOneArrives) {
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    Watchdog watchdog("hostile frame", 60);
    // 40,076 bytes whose one data object is referred to 20,012 times: as
    // objects, 400 MB.
    auto list = testing_support::sharedDataList(20012, 20012);
    std::vector<std::uint8_t> frames = {0, 0, static_cast<std::uint8_t>(list.size() >> 8),
                                        static_cast<std::uint8_t>(list.size())};
    frames.insert(frames.end(), list.begin(), list.end());
    auto next = transport::encodeFrame(base::Number::initWithInteger(7));
    frames.insert(frames.end(), next.begin(), next.end());
    std::thread peer([&] {
        ASSERT_EQ(::write(sockets[1], frames.data(), frames.size()),
                  static_cast<ssize_t>(frames.size()));
        ::close(sockets[1]);
    });

    std::vector<std::int64_t> received;
    std::vector<std::string> problems;
    bool closed = false;
    MessageChannel page(
        sockets[0], {[&](const base::ObjectRef& message) { received.push_back(indexOf(message)); },
                     [&](const std::string& problem) { problems.push_back(problem); },
                     [&](const std::string&) { closed = true; }});
    page.start();
    EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return closed; }, std::chrono::seconds(30)));
    peer.join();
    EXPECT_EQ(received, std::vector<std::int64_t>{7});
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("dropped a frame of "), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("objects are shared so often that the list would expand beyond "
                               "its size"),
              std::string::npos)
        << problems[0];
}
