// A live-view application for the Echo page: its live view shows how many
// messages it has answered and sends every message it receives straight
// back. corral-host starts it with --live-view; the live-view agent
// connects it to the page, and it ends when the page's side closes.
#include <cstdio>

#include "Corral/Corral.h"
#include "Corral/LiveViewAgent/LiveViewAgent.h"
#include "Corral/Stagehand/Stagehand.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/ui/UI.h"

namespace {

class EchoView : public ui::View, public PaddockLiveViewMessageHandler {
public:
    void receive(const PaddockValue& message) override {
        ++answered_;
        send(message);
    }
    void liveViewMessageConnectionClosed() override {
        std::fprintf(stderr, "echo live view: the page closed the connection after %d messages\n",
                     answered_);
    }

private:
    int answered_ = 0;
};

class EchoAppDelegate : public stagehand::AppDelegate {
public:
    PaddockLiveViewable setUpLiveView() override {
        auto view = std::make_shared<EchoView>();
        view->setBackgroundColor(ui::Color::colorWithWhite(0.9));
        // Messages and connection events reach the page's live view.
        PaddockPage::current().setLiveView(PaddockLiveViewable(view));
        return view;
    }

    bool application(ui::Application& application,
                     const base::Ref<base::Dictionary>& launchOptions) override {
        bool launched = AppDelegate::application(application, launchOptions);
        if (!liveviewagent::connectLiveViewToHost()) {
            std::fprintf(stderr,
                         "example-live-view-echo: no host connection; run it through "
                         "corral-host --live-view\n");
            application.terminate(69);
        }
        return launched;
    }
};

}  // namespace

int main(int argc, char** argv) {
    return ui::applicationMain(argc, argv, [] { return std::make_shared<EchoAppDelegate>(); });
}
