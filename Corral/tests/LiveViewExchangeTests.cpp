// Page code and a live view in another process exchange messages through
// the transport: this process is the page's and plays its host, a child
// process runs the live view (exchange/LiveViewPeer.cpp) connected by the
// live-view agent, and a socket pair carries the messages.
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/base/Objects.h"
#include "Corral/testing/ChildProcess.h"
#include "Corral/transport/MessageChannel.h"
#include "TestSupport.h"
#include "ValueTestSupport.h"

namespace {

using Proxy = PaddockRemoteLiveViewProxy;
constexpr auto kPatience = std::chrono::seconds(30);

}  // namespace

TEST(LiveViewExchangeTest, PageAndRemoteLiveViewTalkBothWaysAndSeeTheClose) {
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    testing_support::ChildProcess peer(CORRAL_LIVE_VIEW_PEER, {}, sockets[1]);
    ::close(sockets[1]);
    ASSERT_GT(peer.pid(), 0);

    auto& page = PaddockPage::current();
    const base::Class& corral = bridge();
    std::vector<std::string> problems;
    bool closed = false;
    {
        // The host: the connection is open, so it installs the sender and
        // announces the remote live view.
        auto channel = std::make_shared<transport::MessageChannel>(
            sockets[0], transport::MessageChannel::Handlers{
                            [&](const base::ObjectRef& message) {
                                corral.send("deliverLiveViewMessage:", {message});
                            },
                            [&](const std::string& problem) { problems.push_back(problem); },
                            [&](const std::string& reason) {
                                if (!reason.empty()) problems.push_back(reason);
                                corral.send("liveViewMessageConnectionClosed");
                                closed = true;
                            }});
        std::weak_ptr<transport::MessageChannel> sender = channel;
        corral.send("setLiveViewMessageSender:",
                    {base::Block::make([sender](std::span<const base::ObjectRef> args) {
                        if (auto channel = sender.lock(); channel && !args.empty())
                            channel->send(args[0]);
                        return base::ObjectRef();
                    })});
        corral.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(true)});
        channel->start();

        // Page code: talk to the remote live view through its proxy.
        auto proxy = page.liveView() ? page.liveView()->as<Proxy>() : nullptr;
        ASSERT_TRUE(proxy);
        auto delegate = std::make_shared<RecordingProxyDelegate>();
        proxy->setDelegate(delegate);
        const PaddockValue question = PaddockValue::dictionary({
            {"text", PaddockValue::string("How far?")},
            {"steps",
             PaddockValue::array({PaddockValue::integer(-3), PaddockValue::floatingPoint(0.5)})},
            {"bytes", PaddockValue::data({0, 255})},
            {"when", PaddockValue::date(PaddockValue::Date{12.25})},
            {"urgent", PaddockValue::boolean(true)},
        });
        proxy->send(question);
        ASSERT_TRUE(page.waitUntil([&] { return !delegate->received.empty(); }, kPatience));

        // The host closes its side; the live view still says goodbye.
        channel->closeWriting();
        ASSERT_TRUE(page.waitUntil([&] { return closed; }, kPatience));
        EXPECT_EQ(problems, std::vector<std::string>{});

        ASSERT_EQ(delegate->received.size(), 2u);
        const auto* answer = delegate->received[0].asDictionary();
        ASSERT_NE(answer, nullptr);
        ASSERT_EQ(answer->count("echo"), 1u);
        EXPECT_TRUE(sameValue(answer->at("echo"), question));
        EXPECT_TRUE(sameValue(answer->at("opened"), PaddockValue::boolean(true)));
        ASSERT_NE(answer->at("process").asInteger(), nullptr);
        EXPECT_EQ(*answer->at("process").asInteger(), peer.pid());
        EXPECT_TRUE(sameValue(delegate->received[1],
                              PaddockValue::dictionary({{"closed", PaddockValue::boolean(true)}})));
        EXPECT_EQ(delegate->receivedBy, (std::vector<base::Ref<Proxy>>{proxy, proxy}));
        EXPECT_EQ(delegate->closedBy, std::vector<base::Ref<Proxy>>{proxy});

        corral.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(false)});
    }
    auto status = peer.wait(kPatience);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}
