#include "PrintForwarder.h"

#include "Corral/PaddockPage.h"
#include "Corral/base/Format.h"
#include "Corral/base/String.h"
#include "PaddockPageAccess.h"

base::PrintHook makePrintForwarder(std::shared_ptr<const base::PrintHook> previous) {
    return [previous = std::move(previous)](const std::string& text) {
        printLogger().log(base::format("%@", {base::String::make(text)}));
        if (previous && *previous) (*previous)(text);
        if (auto console = PaddockPageAccess::consolePrintHook(PaddockPage::current())) {
            (*console)(text);
        }
    };
}
