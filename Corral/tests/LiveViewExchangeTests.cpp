// Page code and a live view in another process exchange messages through
// their hosts: this process is the page's, a child process runs the live
// view (exchange/LiveViewPeer.cpp), and a socket pair carries the messages.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/base/Objects.h"
#include "TestSupport.h"
#include "ValueTestSupport.h"
#include "exchange/MessageChannel.h"

namespace {

using Proxy = PaddockRemoteLiveViewProxy;
constexpr auto kPatience = std::chrono::seconds(30);

// Starts the live-view process with `socket` as its end of the connection.
pid_t startPeer(int socket) {
    const std::string path = CORRAL_LIVE_VIEW_PEER;
    const std::string descriptor = std::to_string(socket);
    char* const argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(descriptor.c_str()),
                          nullptr};
    pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::fcntl(socket, F_SETFD, 0);  // keep this end open across exec
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    return child;
}

}  // namespace

TEST(LiveViewExchangeTest, PageAndRemoteLiveViewTalkBothWaysAndSeeTheClose) {
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    pid_t peer = startPeer(sockets[1]);
    ::close(sockets[1]);
    ASSERT_GT(peer, 0);

    auto& page = PaddockPage::current();
    const base::Class& corral = bridge();
    {
        // The host: the connection is open, so it installs the sender and
        // announces the remote live view.
        wire::MessageChannel channel(sockets[0]);
        channel.installSender();
        corral.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(true)});
        channel.startReading();

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
        ASSERT_TRUE(page.waitUntil([&] { return !delegate->received.empty(); }, kPatience))
            << channel.error();

        // The host closes the connection; the live view still says goodbye.
        channel.closeWriting();
        ASSERT_TRUE(page.waitUntil([&] { return channel.closed(); }, kPatience));
        EXPECT_EQ(channel.error(), "");

        ASSERT_EQ(delegate->received.size(), 2u);
        const auto* answer = delegate->received[0].asDictionary();
        ASSERT_NE(answer, nullptr);
        ASSERT_EQ(answer->count("echo"), 1u);
        EXPECT_TRUE(sameValue(answer->at("echo"), question));
        EXPECT_TRUE(sameValue(answer->at("opened"), PaddockValue::boolean(true)));
        ASSERT_NE(answer->at("process").asInteger(), nullptr);
        EXPECT_EQ(*answer->at("process").asInteger(), peer);
        EXPECT_TRUE(sameValue(delegate->received[1],
                              PaddockValue::dictionary({{"closed", PaddockValue::boolean(true)}})));
        EXPECT_EQ(delegate->receivedBy, (std::vector<base::Ref<Proxy>>{proxy, proxy}));
        EXPECT_EQ(delegate->closedBy, std::vector<base::Ref<Proxy>>{proxy});

        corral.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(false)});
    }
    int status = 0;
    ASSERT_EQ(::waitpid(peer, &status, 0), peer);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
