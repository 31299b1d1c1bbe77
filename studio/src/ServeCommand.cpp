// `corral-host serve`: options, the front end's folder, the address printed,
// and serving until the learner presses Control-C.
#include <pthread.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Corral/Studio/StudioServer.h"

namespace studio {

namespace {

const char* serveUsage =
    "usage: corral-host serve [--port N] [--host ADDRESS] DOCUMENT\n"
    "  Opens DOCUMENT in the studio: prints an address to open in a browser.\n"
    "  --port N        port to listen on (default: any free port)\n"
    "  --host ADDRESS  address to listen on (default: 127.0.0.1, loopback only)\n";

// The bundled front end: beside an installed corral-host, or in the build tree.
std::string findAssets(const std::string& hostExecutable) {
    std::vector<std::filesystem::path> candidates;
    if (const char* overridden = std::getenv("CORRAL_STUDIO_ASSETS"))
        candidates.push_back(overridden);
    std::error_code ec;
    auto executable = std::filesystem::canonical(hostExecutable, ec);
    if (ec) executable = std::filesystem::canonical("/proc/self/exe", ec);
    if (!ec) {
        const auto dir = executable.parent_path();
        candidates.push_back(dir / STUDIO_INSTALLED_ASSETS);
        candidates.push_back(dir / STUDIO_BUILD_ASSETS);
    }
    for (const auto& candidate : candidates)
        if (std::filesystem::is_regular_file(candidate / "index.html", ec))
            return candidate.string();
    return "";
}

}  // namespace

int serveCommand(const std::vector<std::string>& arguments, const std::string& hostExecutable) {
    StudioOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i], value;
        const bool takesValue =
            argument.rfind("--port", 0) == 0 || argument.rfind("--host", 0) == 0;
        if (argument == "--help" || argument == "-h") {
            std::fputs(serveUsage, stdout);
            return 0;
        }
        if (takesValue) {
            const auto equals = argument.find('=');
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
                argument.erase(equals);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                std::fprintf(stderr, "corral-host: %s needs a value\n%s", argument.c_str(),
                             serveUsage);
                return 64;
            }
        }
        if (argument == "--port") {
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || port < 0 || port > 65535) {
                std::fprintf(stderr, "corral-host: not a port: %s\n%s", value.c_str(), serveUsage);
                return 64;
            }
            options.port = static_cast<int>(port);
        } else if (argument == "--host") {
            options.host = value;
        } else if (argument == "--") {
            if (i + 1 < arguments.size()) options.document = arguments[++i];
        } else if (argument.rfind("-", 0) == 0 || !options.document.empty()) {
            std::fprintf(stderr, "corral-host: unexpected argument: %s\n%s", argument.c_str(),
                         serveUsage);
            return 64;
        } else {
            options.document = argument;
        }
    }
    if (options.document.empty()) {
        std::fprintf(stderr, "corral-host: serve needs a page document\n%s", serveUsage);
        return 64;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(options.document, ec)) {
        std::fprintf(stderr, "corral-host: no page document at %s\n", options.document.c_str());
        return 66;
    }
    options.document = std::filesystem::canonical(options.document, ec).string();
    options.assetsFolder = findAssets(hostExecutable);
    if (options.assetsFolder.empty()) {
        std::fprintf(stderr,
                     "corral-host: the studio's front end is not installed "
                     "(share/corral/studio beside corral-host)\n");
        return 69;
    }
    // Runs are corral-host itself in protocol mode, unless another program
    // that speaks the protocol is named.
    auto executable = std::filesystem::canonical("/proc/self/exe", ec);
    options.pageCommand = {ec ? hostExecutable : executable.string()};
    if (const char* other = std::getenv("CORRAL_STUDIO_PAGE_PROCESS"); other && *other)
        options.pageCommand = {other};
    // Every run is bounded, so a page that loops, allocates or opens files
    // without end is stopped and the studio goes on serving.
    options.runOptions = {"--cpu-limit",        "30", "--memory-limit", "1024",
                          "--open-files-limit", "256"};
    if (options.host != "127.0.0.1" && options.host != "localhost" && options.host != "::1")
        std::fprintf(stderr, "corral-host: warning: listening on %s, not only on loopback\n",
                     options.host.c_str());

    // Termination signals are taken by one thread, which stops the server.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    StudioServer server(options);
    std::string error;
    if (!server.bind(error)) {
        std::fprintf(stderr, "corral-host: %s\n", error.c_str());
        return 69;
    }
    std::printf(
        "Corral studio for %s\nOpen %s\n(add &run to run the page at once; Control-C ends)\n",
        options.document.c_str(), server.address().c_str());
    std::fflush(stdout);
    std::thread waiter([&] {
        int received = 0;
        sigwait(&signals, &received);
        server.stop();
    });
    server.serve();
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return 0;
}

}  // namespace studio
