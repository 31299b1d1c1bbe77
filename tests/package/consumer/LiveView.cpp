// The consumer's live-view application: answers every text with "pong: "
// and the text.
#include <memory>
#include <string>

#include "Corral/Corral.h"
#include "Corral/LiveViewAgent/LiveViewAgent.h"
#include "Corral/Stagehand/Stagehand.h"
#include "Corral/ui/UI.h"

namespace {

class PongView : public ui::View, public PaddockLiveViewMessageHandler {
public:
    void receive(const PaddockValue& message) override {
        if (const std::string* text = message.asString())
            send(PaddockValue::string("pong: " + *text));
    }
};

class PongAppDelegate : public stagehand::AppDelegate {
public:
    PaddockLiveViewable setUpLiveView() override {
        auto view = std::make_shared<PongView>();
        PaddockPage::current().setLiveView(PaddockLiveViewable(view));
        return view;
    }
    bool application(ui::Application& application,
                     const base::Ref<base::Dictionary>& launchOptions) override {
        bool launched = AppDelegate::application(application, launchOptions);
        if (!liveviewagent::connectLiveViewToHost()) application.terminate(69);
        return launched;
    }
};

}  // namespace

int main(int argc, char** argv) {
    return ui::applicationMain(argc, argv, [] { return std::make_shared<PongAppDelegate>(); });
}
