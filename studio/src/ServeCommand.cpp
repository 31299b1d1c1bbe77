// `corral-host serve`: the front end's folder, the address printed,
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

int serveCommand(StudioOptions options, const std::string& hostExecutable) {
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
    // Runs are corral-host itself in protocol mode.
    auto executable = std::filesystem::canonical("/proc/self/exe", ec);
    options.pageCommand = {ec ? hostExecutable : executable.string()};
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
