#pragma once
// The supervising side of corral-host: for each run it compiles the page
// (or takes the prebuilt module), starts a child process that runs it (see
// Host), and reports everything on one stream of protocol events: what the
// child reports, every byte the page writes to its standard output and
// error (see ConsoleStream), and at the end an "ended" event with the cause.
//
// The child runs in a process group of its own under the resource limits
// given (CPU time, address space, open files). A child that crashes, is
// killed by a signal, uses up a limit, floods the console, outlives the
// timeout or is told to stop ends as an event; the supervisor goes on, runs
// the next page a link leads to (outside the protocol, whose reader decides
// that), or with --watch waits for the sources to change and runs again.
//
// The key-value store is kept here, not in the child, so a write the page
// made reaches the store file even when the page crashes right after it.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "HostOptions.h"
#include "PageCompiler.h"
#include "PageDocument.h"
#include "ProtocolValue.h"
#include "StorePersistence.h"

namespace host {

class PageSupervisor {
public:
    using Output = std::function<void(const Json&)>;

    PageSupervisor(HostOptions options, PageDocument document, Output output);
    // The whole invocation; the exit status of corral-host.
    int run();

private:
    struct Outcome {
        std::string cause;
        std::string message;
        int status = 0;  // corral-host's exit status for it
        std::optional<int> signal;
    };
    struct Child;

    // The module to run, or nothing when there is none: the reason
    // reported, or in `stopped` how the run ended when it was stopped while
    // the page compiled.
    std::optional<std::string> prepareModule(int& status, std::optional<Outcome>& stopped);
    // While the page compiles: takes the commands and signals that came
    // meanwhile; true when one of them stops the run.
    bool stopWhileCompiling();
    Outcome runChild(const std::string& module);
    // Handles one event the child sent.
    void relay(Json event, Child& child);
    // A command from the protocol's reader.
    void command(const std::string& line, Child* child);
    // Waits for the sources to change (true) or for the host to be told to stop.
    bool waitForChange();
    std::map<std::string, std::string> snapshot() const;
    void setUpSignals();
    bool readStandardInput(Child* child);
    // Reads every command already waiting on the standard input, without waiting.
    void takeWaitingInput();

    HostOptions options_;
    PageDocument document_;
    Output output_;
    std::optional<PageCompiler> compiler_;
    StorePersistence store_;
    int signalFd_ = -1;
    bool inputOpen_ = false;
    std::string inputPending_;
    std::string queuedCommands_;     // for the next child
    std::optional<int> hostSignal_;  // the signal that told the host to stop
    bool preparing_ = false;         // compiling the page or about to start it
    bool stopRequested_ = false;     // a stop command came while preparing
    std::optional<std::size_t> nextPage_;
    std::map<std::string, std::string> sources_;
};

}  // namespace host
