// The live-view process of the two-process exchange test: a page of its own
// whose live view answers every message, connected to the test's process
// by the live-view agent through the socket named in
// CORRAL_LIVE_VIEW_SOCKET.
//
// The live view answers each message M with {"echo": M, "opened": whether
// the connection was reported open first, "process": this process's id}.
// When the connection closes it sends {"closed": true} (the other side has
// only stopped writing) and the process ends with status 0, or 1 when the
// events came in the wrong order.
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "Corral/Corral.h"
#include "Corral/LiveViewAgent/LiveViewAgent.h"
#include "Corral/base/RunLoop.h"
#include "Corral/ui/View.h"

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

int main() {
    // The live view's own code: it shows itself.
    auto view = std::make_shared<AnsweringView>();
    PaddockPage::current().setLiveView(view);
    if (!liveviewagent::connectLiveViewToHost()) {
        std::fprintf(stderr, "live-view peer: no connection in CORRAL_LIVE_VIEW_SOCKET\n");
        return 1;
    }
    bool ended =
        base::RunLoop::main().runUntil([&] { return view->closed; }, std::chrono::seconds(30));
    if (!ended || !view->opened || view->received == 0) {
        std::fprintf(stderr, "live-view peer: ended %d, opened %d, closed %d, %d received\n", ended,
                     view->opened, view->closed, view->received);
        return 1;
    }
    return 0;
}
