#include "Corral/LiveViewAgent/LiveViewAgent.h"

#include <signal.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Corral/CorralFramework.h"
#include "Corral/base/Log.h"
#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"
#include "Corral/transport/MessageChannel.h"
#include "Corral/ui/Application.h"
#include "PictureSender.h"

namespace liveviewagent {

namespace {

// The stream socket the host gave this process under the environment
// variable `name`, or -1.
int hostSocket(const char* name) {
    const char* text = std::getenv(name);
    if (!text || !*text) return -1;
    char* end = nullptr;
    long fd = std::strtol(text, &end, 10);
    int type = 0;
    socklen_t length = sizeof type;
    if (*end || fd < 0 || fd > 1 << 20 ||
        ::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &length) != 0 ||
        type != SOCK_STREAM) {
        return -1;
    }
    return static_cast<int>(fd);
}

void report(const std::string& text) {
    base::Log("CorralLiveViewAgent", "Connection").log(text);
    std::fprintf(stderr, "live-view agent: %s\n", text.c_str());
}

}  // namespace

bool connectLiveViewToHost() {
    int socket = hostSocket("CORRAL_LIVE_VIEW_SOCKET");
    if (socket < 0) return false;
    ::signal(SIGPIPE, SIG_IGN);
    // Kept until the process ends: messages may be sent until then.
    static std::unique_ptr<transport::MessageChannel> channel;
    channel = std::make_unique<transport::MessageChannel>(
        socket, transport::MessageChannel::Handlers{
                    [](const base::ObjectRef& message) {
                        CorralFramework::deliverLiveViewMessage(message);
                    },
                    [](const std::string& problem) { report(problem); },
                    [](const std::string& reason) {
                        if (!reason.empty()) report("the connection closed: " + reason);
                        CorralFramework::liveViewMessageConnectionClosed();
                        base::RunLoop::main().post([] {
                            if (auto app = ui::Application::shared(); app->isRunning()) {
                                app->terminate(0);
                            }
                        });
                    },
                });
    CorralFramework::setLiveViewMessageSender(
        base::Block::make([](std::span<const base::ObjectRef> args) {
            if (!args.empty()) channel->send(args[0]);
            return base::ObjectRef();
        }));
    CorralFramework::liveViewMessageConnectionOpened();
    channel->start();
    // A host that draws the live view elsewhere gives a second socket for
    // its pictures; without one the application runs as before.
    static std::unique_ptr<PictureSender> pictures;
    if (int pictureSocket = hostSocket("CORRAL_LIVE_VIEW_PICTURE_SOCKET"); pictureSocket >= 0) {
        pictures = std::make_unique<PictureSender>(pictureSocket);
        pictures->followKeyWindow();
    }
    return true;
}

}  // namespace liveviewagent
