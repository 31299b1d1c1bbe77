#include "PrintForwarder.h"

#include <cstdlib>

#include "Corral/PaddockPage.h"
#include "PaddockPageAccess.h"
#include "base/Format.h"
#include "base/String.h"

namespace {
// The host application's reverse-DNS identifier, which hosts announce
// through the environment; a neutral default otherwise.
std::string hostIdentifier() {
    const char* id = std::getenv("CORRAL_HOST_IDENTIFIER");
    return id && *id ? id : "local.corral.host";
}
}  // namespace

const base::Log& printLogger() {
    static const base::Log* const logger = new base::Log(hostIdentifier(), "ExecutionExtension.print");
    return *logger;
}

base::PrintHook makePrintForwarder(std::shared_ptr<const base::PrintHook> previous) {
    return [previous = std::move(previous)](const std::string& text) {
        printLogger().log(base::format("%@", {base::String::make(text)}));
        if (previous && *previous) (*previous)(text);
        if (auto console = PaddockPageAccess::consolePrintHook(PaddockPage::current())) {
            (*console)(text);
        }
    };
}
