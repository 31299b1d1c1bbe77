#pragma once
// The studio: a local web server that shows a page document in the browser,
// lets the learner edit and run it, and streams what the run reports.
//
// Every run is a child process speaking the page protocol (JSON Lines over
// its standard input and output); the server forwards its events to the
// browser as server-sent events and the browser's commands to its input.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Corral/Studio/StudioExport.h"

namespace studio {

struct StudioOptions {
    std::string document;                  // the page document's folder
    std::string host = "127.0.0.1";        // address to listen on
    int port = 0;                          // 0: any free port
    std::vector<std::string> pageCommand;  // program and leading arguments of a run
    std::vector<std::string> runOptions;   // limits and other options every run gets
    std::string assetsFolder;              // the bundled front end
    std::string token;                     // empty: a random one
};

class STUDIO_EXPORT StudioServer {
public:
    explicit StudioServer(StudioOptions options);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    // Binds the socket; false (with `error`) when it cannot.
    bool bind(std::string& error);
    // Serves until stop() is called from another thread.
    void serve();
    void stop();

    int port() const;
    const std::string& token() const;
    // The address to open, token included.
    std::string address() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// `corral-host serve` once its command line is read: checks the document,
// finds the front end, prints the address and serves until interrupted.
// Returns the exit status.
STUDIO_EXPORT int serveCommand(StudioOptions options, const std::string& hostExecutable);

}  // namespace studio
