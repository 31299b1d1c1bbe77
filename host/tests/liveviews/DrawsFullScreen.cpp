// A live view that fills the screen, puts a mark on itself when the page's
// first message arrives, and then ends.
#include "Corral/Corral.h"
#include "Corral/LiveViewAgent/LiveViewAgent.h"
#include "Corral/Stagehand/Stagehand.h"
#include "Corral/ui/UI.h"

namespace {

class Mark : public ui::View {
public:
    using ui::View::View;
    std::string className() const override { return "Mark"; }
};

class Board : public ui::View, public PaddockLiveViewMessageHandler {
public:
    void receive(const PaddockValue&) override {
        auto mark = std::make_shared<Mark>(ui::Rect{{10, 20}, {30, 40}});
        mark->setBackgroundColor(ui::Color::colorWithRed(1, 0, 0));
        addSubview(mark);
        setNeedsLayout();
        if (auto window = this->window()) window->layoutIfNeeded();
        base::RunLoop::main().post([] { ui::Application::shared()->terminate(0); });
    }
    std::string className() const override { return "Board"; }
};

class Delegate : public stagehand::AppDelegate {
public:
    PaddockLiveViewable setUpLiveView() override {
        auto board = std::make_shared<Board>();
        PaddockPage::current().setLiveView(PaddockLiveViewable(board));
        return board;
    }
    bool application(ui::Application& application,
                     const base::Ref<base::Dictionary>& options) override {
        bool launched = AppDelegate::application(application, options);
        if (!liveviewagent::connectLiveViewToHost()) application.terminate(2);
        return launched;
    }
};

}  // namespace

int main(int argc, char** argv) {
    return ui::applicationMain(argc, argv, [] { return std::make_shared<Delegate>(); });
}
