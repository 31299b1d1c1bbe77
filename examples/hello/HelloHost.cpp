// A small host: initialises Corral, installs a console hook, switches the
// execution mode and runs the hello page, printing each notification it
// observes. It drives Corral the way any host does: by the bridge's runtime
// name and selector strings. Its own output goes through stdio, so it is not
// mistaken for page output (std::cout is page output once a hook is set).
#include <cstdio>
#include <string>

#include "HelloPage.h"
#include "base/NotificationCenter.h"
#include "base/Objects.h"
#include "base/Runtime.h"

namespace {
void report(const base::Notification& n) {
    std::string info = n.userInfo ? n.userInfo->description() : "none";
    std::printf("host| notification %s from %s, user info: %s\n", n.name.c_str(),
                n.object ? n.object->className().c_str() : "nobody", info.c_str());
}
}  // namespace

int main() {
    base::ScopedObserver everything(std::nullopt, nullptr, report);
    const base::Class* corral = base::Runtime::shared().lookUpClass("_CorralFramework");
    if (!corral) {
        std::fprintf(stderr, "error: _CorralFramework is not loaded\n");
        return 1;
    }
    corral->send("initializeCorralFramework");
    corral->send("setPaddockConsolePrintHook:",
                 {base::Block::make([](std::span<const base::ObjectRef> args) {
                     auto text = base::cast<base::String>(args[0]);
                     std::printf("host| console received: %s", text ? text->text().c_str() : "");
                     return base::ObjectRef();
                 })});
    std::printf("host| switching to step mode\n");
    corral->send("setExecutionModeToStep");
    std::printf("host| switching to step mode again (no notification expected)\n");
    corral->send("setExecutionModeToStep");
    std::printf("host| running the page\n");
    std::fflush(stdout);
    helloPageMain();
    std::fflush(stdout);
    std::printf("host| the page returned\n");
    return 0;
}
