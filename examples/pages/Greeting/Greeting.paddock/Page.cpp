// Greeting: the learner writes a greeting function in the Greeter module;
// the page prints and reads the learner's sources.
#include <iostream>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    base::print("Modules on this page:", page.userModuleNames().size());
    for (const auto& module : page.userModuleNames()) {
        for (const auto& file : page.listSourceFiles(module)) {
            auto text = page.getText(file, module);
            std::cout << module << "/" << file << ": " << (text ? text->size() : 0) << " bytes"
                      << std::endl;
        }
    }
    auto source = page.getText("Greeter.cpp", "Greeter").value_or("");
    bool greets = source.find("Hello") != std::string::npos;
    base::print(greets ? "The greeter says hello." : "The greeter does not say hello yet.");
}
