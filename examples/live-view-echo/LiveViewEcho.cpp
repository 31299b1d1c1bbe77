// A live-view application for the Echo page: its live view sends every
// message it receives straight back, and shows one bar for each message it
// has answered. corral-host starts it with --live-view; the live-view agent
// connects it to the page, and it ends when the page's side closes.
#include <cstdio>
#include <string>

#include "Corral/Corral.h"
#include "Corral/LiveViewAgent/LiveViewAgent.h"
#include "Corral/Stagehand/Stagehand.h"
#include "Corral/declarative/Declarative.h"
#include "Corral/ui/UI.h"

namespace {

class AnswerBar : public ui::View {
public:
    std::string className() const override { return "EchoAnswer"; }
};

class EchoView : public ui::View, public PaddockLiveViewMessageHandler {
public:
    void receive(const PaddockValue& message) override {
        ++answered_;
        auto bar = std::make_shared<AnswerBar>();
        // Alternating colours, so that neighbouring bars stay apart.
        bar->setBackgroundColor(answered_ % 2 ? ui::Color::colorWithRed(0.2, 0.45, 0.8)
                                              : ui::Color::colorWithRed(0.95, 0.55, 0.15));
        addSubview(bar);
        setNeedsLayout();
        send(message);
    }
    void liveViewMessageConnectionClosed() override {
        std::fprintf(stderr, "echo live view: the page closed the connection after %d messages\n",
                     answered_);
    }

    std::string className() const override { return "EchoView"; }
    std::string debugAttributes() const override { return "answered " + std::to_string(answered_); }

    // The bars stand side by side along the bottom, each as tall as its
    // number, so that the answers so far read as a rising staircase.
    void layoutSubviews() override {
        const auto& bars = subviews();
        auto size = bounds().size;
        double slot = size.width / 16, step = size.height / 20;
        for (std::size_t i = 0; i < bars.size(); ++i) {
            double height = step * static_cast<double>(i + 1);
            bars[i]->setFrame({{slot * (static_cast<double>(i) + 0.5), size.height - height},
                               {slot * 0.8, height}});
        }
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
    // Beside the page's code, not over it.
    stagehand::LiveViewConfiguration liveViewConfiguration() const override {
        return stagehand::LiveViewConfiguration::sideBySide;
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
