// corral-host: runs one page module against its page document.
#include <cstdio>
#include <exception>

#include "Corral/Studio/StudioServer.h"
#include "Host.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "serve")
        return studio::serveCommand(std::vector<std::string>(argv + 2, argv + argc), argv[0]);
    std::string error;
    auto options = host::parseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "corral-host: %s\n%s", error.c_str(), host::hostUsage);
        return 64;
    }
    auto document = host::PageDocument::open(options->document, error);
    if (!document) {
        std::fprintf(stderr, "corral-host: %s\n", error.c_str());
        return 66;
    }
    auto module = host::PageModule::load(options->pageModule, error);
    if (!module) {
        std::fprintf(stderr, "corral-host: %s\n", error.c_str());
        return 66;
    }
    try {
        // Corral keeps the hooks the host installs (the console hook, the
        // providers, the message sender) until the process ends, and page
        // code may print from a static destructor after main has returned:
        // the host those hooks refer to must live as long, so it is never
        // destroyed. Held by a static so that it stays reachable.
        static host::Host* running = nullptr;
        running = new host::Host(std::move(*options), std::move(*document), *module,
                                 host::takeOverStandardOutput());
        return running->run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corral-host: %s\n", e.what());
        return 70;
    }
}
