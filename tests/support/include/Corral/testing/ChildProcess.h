#pragma once
// Runs a program as a child process, the way a host runs a live view: with
// a socket as its descriptor 3, named in CORRAL_LIVE_VIEW_SOCKET; or with
// descriptors of the caller's choosing as its standard input and output.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {

class ChildProcess {
public:
    // A descriptor of the caller's that becomes the child's descriptor `as`.
    struct Redirect {
        int fd;
        int as;
    };

    // Starts `program` with `arguments`; a `socket` of 0 or more becomes the
    // child's descriptor 3, and every redirect is made. pid() is -1 when the
    // program cannot be started.
    explicit ChildProcess(const std::string& program, std::vector<std::string> arguments = {},
                          int socket = -1, const std::vector<Redirect>& redirects = {}) {
        std::vector<std::string> environment;
        if (socket >= 0) environment.push_back("CORRAL_LIVE_VIEW_SOCKET=3");
        for (char** entry = environ; *entry; ++entry) {
            if (std::strncmp(*entry, "CORRAL_LIVE_VIEW_SOCKET=", 24) != 0)
                environment.push_back(*entry);
        }
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv, envp;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        for (auto& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (socket >= 0) posix_spawn_file_actions_adddup2(&actions, socket, 3);
        for (const auto& redirect : redirects)
            posix_spawn_file_actions_adddup2(&actions, redirect.fd, redirect.as);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !wait(std::chrono::milliseconds(0))) {
            ::kill(pid_, SIGKILL);
            wait(std::chrono::seconds(10));
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Waits up to `patience` for the child to end: its wait status, or
    // nothing while it still runs.
    std::optional<int> wait(std::chrono::milliseconds patience) {
        if (status_ || pid_ <= 0) return status_;
        auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            int status = 0;
            pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) return status_ = status;
            if (done < 0 && errno != EINTR) return std::nullopt;
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

}  // namespace testing_support
