#pragma once
// One run of a page: a child process speaking the page protocol. Each line
// it writes on standard output is handed to `onLine` on a reader thread; its
// standard error is handed over line by line to `onDiagnostic`. When the
// child has exited, `onExit` gets its wait status. The child leads its own
// process group, so stopping it ends whatever it started too.

#include <sys/types.h>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace studio {

class PageRun {
public:
    struct Callbacks {
        std::function<void(const std::string&)> onLine;
        std::function<void(const std::string&)> onDiagnostic;
        std::function<void(int waitStatus)> onExit;
    };

    // Starts `command` (program first) in `workingFolder`; throws
    // std::runtime_error when it cannot be started.
    PageRun(const std::vector<std::string>& command, Callbacks callbacks);
    ~PageRun();  // stops the child if it still runs and waits for it
    PageRun(const PageRun&) = delete;
    PageRun& operator=(const PageRun&) = delete;

    // Sends one command line; false once the child no longer reads.
    bool send(const std::string& line);
    // Asks the child to stop; kills its group if it has not exited within
    // `grace`.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    bool running() const;

private:
    void readOutput(int fd, bool isStdout);

    pid_t pid_ = -1;
    int input_ = -1;
    mutable std::mutex mutex_;
    bool exited_ = false;
    Callbacks callbacks_;
    std::thread stdoutReader_, stderrReader_, waiter_;
};

}  // namespace studio
