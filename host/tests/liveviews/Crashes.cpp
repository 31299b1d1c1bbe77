// A live view that says one thing and then crashes.
#include <cstdlib>

#include "Corral/Corral.h"
#include "Corral/LiveViewAgent/LiveViewAgent.h"

namespace {
class LastWords : public ui::View, public PaddockLiveViewMessageHandler {};
}  // namespace

int main() {
    CorralFramework::initializeCorralFramework();
    auto view = std::make_shared<LastWords>();
    PaddockPage::current().setLiveView(PaddockLiveViewable(view));
    if (!liveviewagent::connectLiveViewToHost()) return 2;
    view->send(PaddockValue::string("about to crash"));
    std::abort();
}
