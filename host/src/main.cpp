// corral-host: runs a page document, from its sources or a prebuilt page
// module, in a supervised child process.
#include <cstdio>
#include <exception>

#include <unistd.h>

#include "Corral/Studio/StudioServer.h"
#include "PageSupervisor.h"
#include "ProtocolWriter.h"
#include "TextTranscript.h"

int main(int argc, char** argv) {
    std::string error;
    auto options = host::parseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "corral-host: %s\n%s", error.c_str(),
                     host::hostHelp().substr(0, host::hostHelp().find("\n\n") + 1).c_str());
        return 64;
    }
    if (options->help) {
        std::fputs((options->serve ? host::serveHelp() : host::hostHelp()).c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("%s\n", host::hostVersion().c_str());
        return 0;
    }
    if (options->serve) {
        studio::StudioOptions studio;
        studio.document = options->document;
        studio.host = options->serve->address;
        studio.port = options->serve->port;
        // Every run is bounded, so a page that loops, allocates or opens
        // files without end is stopped and the studio goes on serving.
        studio.runOptions = host::runArguments(*options);
        return studio::serveCommand(std::move(studio), argv[0]);
    }
    auto document = host::PageDocument::open(options->document, error);
    if (!document) {
        std::fprintf(stderr, "corral-host: %s\n", error.c_str());
        return 66;
    }
    try {
        host::ProtocolWriter protocol(STDOUT_FILENO);
        host::TextTranscript transcript(stdout);
        bool json = options->protocol;
        host::PageSupervisor supervisor(std::move(*options), std::move(*document),
                                        [&](const host::Json& event) {
                                            if (json) {
                                                protocol.send(event);
                                            } else {
                                                transcript.render(event);
                                            }
                                        });
        return supervisor.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corral-host: %s\n", e.what());
        return 70;
    }
}
