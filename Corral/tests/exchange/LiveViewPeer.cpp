// The live-view process of the two-process exchange test: a page of its own
// whose live view answers every message, driven by a small host that carries
// messages over the socket it was given.
//
// usage: corral_live_view_peer <socket descriptor>
//
// The live view answers each message M with {"echo": M, "opened": whether
// the connection was reported open first, "process": this process's id}.
// When the connection closes it sends {"closed": true} (the other side has
// only stopped writing) and the process ends with status 0, or 1 when the
// events came in the wrong order.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Corral/Corral.h"
#include "Corral/base/RunLoop.h"
#include "Corral/ui/View.h"
#include "MessageChannel.h"

namespace {

class AnsweringView : public ui::View, public PaddockLiveViewMessageHandler {
public:
    void liveViewMessageConnectionOpened() override { opened = true; }
    void receive(const PaddockValue& message) override {
        ++received;
        send(PaddockValue::dictionary({{"echo", message},
                                       {"opened", PaddockValue::boolean(opened)},
                                       {"process", PaddockValue::integer(::getpid())}}));
    }
    void liveViewMessageConnectionClosed() override {
        closed = true;
        send(PaddockValue::dictionary({{"closed", PaddockValue::boolean(true)}}));
    }
    bool opened = false;
    bool closed = false;
    int received = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <socket descriptor>\n", argv[0]);
        return 2;
    }
    // The live view's own code: it shows itself.
    auto view = std::make_shared<AnsweringView>();
    PaddockPage::current().setLiveView(view);

    // The host: the connection is there, so it installs the sender and
    // reports the opening, then carries messages until the other side closes.
    wire::MessageChannel channel(std::atoi(argv[1]));
    channel.installSender();
    base::Runtime::shared()
        .lookUpClass("_CorralFramework")
        ->send("liveViewMessageConnectionOpened");
    channel.startReading();
    bool ended =
        base::RunLoop::main().runUntil([&] { return channel.closed(); }, std::chrono::seconds(30));
    if (!ended || !channel.error().empty() || !view->opened || !view->closed ||
        view->received == 0) {
        std::fprintf(stderr,
                     "live-view peer: ended %d, error '%s', opened %d, closed %d, %d received\n",
                     ended, channel.error().c_str(), view->opened, view->closed, view->received);
        return 1;
    }
    return 0;
}
