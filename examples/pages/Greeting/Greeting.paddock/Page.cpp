// Greeting: the learner writes a greeting function in the Greeter module.
// The page prints what it finds in the learner's sources and assesses it:
// the page is solved when the greeting says "Hello".
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
    if (source.find("Hello") != std::string::npos) {
        base::print("The greeter says hello.");
        page.setAssessmentStatus(PaddockPage::AssessmentStatus::pass("Well greeted!"));
    } else {
        base::print("The greeter does not say hello yet.");
        page.setAssessmentStatus(PaddockPage::AssessmentStatus::fail(
            {"Look at what greeting() returns.", "A greeting starts with \"Hello\"."},
            "return \"Hello, \" + name + \"!\";"));
    }
}
