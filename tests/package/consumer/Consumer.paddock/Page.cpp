// The consumer's page: names the learner's modules, then asks its live view,
// if one runs in another process, a question and prints the answer.
#include <chrono>
#include <optional>
#include <string>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

namespace {

class Listener : public PaddockRemoteLiveViewProxyDelegate {
public:
    void proxy(const base::Ref<PaddockRemoteLiveViewProxy>&, const PaddockValue& message) override {
        if (const std::string* text = message.asString()) answer = *text;
    }
    void proxyConnectionDidClose(const base::Ref<PaddockRemoteLiveViewProxy>&) override {
        closed = true;
    }
    std::optional<std::string> answer;
    bool closed = false;
};

}  // namespace

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    std::string modules;
    for (const auto& name : page.userModuleNames()) modules += (modules.empty() ? "" : " ") + name;
    base::print("modules:", modules);

    auto live = page.liveView();
    auto remote = live ? live->as<PaddockRemoteLiveViewProxy>() : nullptr;
    if (!remote) {
        base::print("no live view runs beside the page");
        return;
    }
    auto listener = std::make_shared<Listener>();
    remote->setDelegate(listener);
    remote->send(PaddockValue::string("ping"));
    page.waitUntil([&] { return listener->answer || listener->closed; }, std::chrono::seconds(20));
    base::print("the live view answered:", listener->answer.value_or("nothing"));
}
