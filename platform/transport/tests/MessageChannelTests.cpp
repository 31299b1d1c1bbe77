// The live-view transport inside one process: a socket pair, the page's end
// on the main run loop and the live view's end on a thread of its own.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "Corral/transport/MessageChannel.h"
#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"

namespace {

// The live view's end: answers every message with the same message.
class EchoingPeer {
public:
    explicit EchoingPeer(int socket) {
        thread_ = std::thread([socket] {
            base::RunLoop loop;
            bool closed = false;
            std::unique_ptr<transport::MessageChannel> channel;
            channel = std::make_unique<transport::MessageChannel>(
                socket,
                transport::MessageChannel::Handlers{
                    [&](const base::ObjectRef& message) { channel->send(message); },
                    {},
                    [&](const std::string&) { closed = true; }},
                loop);
            channel->start();
            loop.runUntil([&] { return closed; }, std::chrono::seconds(60));
        });
    }
    ~EchoingPeer() { thread_.join(); }

private:
    std::thread thread_;
};

}  // namespace

TEST(MessageChannelTest, MutualFloodNeitherDeadlocksNorLosesOrReorders) {
    // Far more than the sockets and both queues hold: the page sends without
    // running its loop while the live view answers each message.
    constexpr std::int64_t kMessages = 20000;
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    EchoingPeer peer(sockets[1]);
    std::vector<std::int64_t> replies;
    std::vector<std::string> problems;
    bool closed = false;
    {
        transport::MessageChannel page(sockets[0],
                                  {[&](const base::ObjectRef& message) {
                                       auto n = base::cast<base::Number>(message);
                                       replies.push_back(n ? n->integerValue() : -1);
                                   },
                                   [&](const std::string& problem) { problems.push_back(problem); },
                                   [&](const std::string&) { closed = true; }});
        page.start();
        for (std::int64_t i = 0; i < kMessages; ++i) {
            ASSERT_TRUE(page.send(base::Number::initWithInteger(i)));
        }
        EXPECT_TRUE(base::RunLoop::main().runUntil(
            [&] { return static_cast<std::int64_t>(replies.size()) == kMessages; },
            std::chrono::seconds(60)));
        page.close();
        EXPECT_TRUE(
            base::RunLoop::main().runUntil([&] { return closed; }, std::chrono::seconds(10)));
    }
    ASSERT_EQ(static_cast<std::int64_t>(replies.size()), kMessages);
    for (std::int64_t i = 0; i < kMessages; ++i) ASSERT_EQ(replies[i], i);
    EXPECT_TRUE(problems.empty());
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
