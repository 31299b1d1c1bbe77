#include "PageRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "Corral/base/FileSystem.h"

namespace studio {

namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

PageRun::PageRun(const std::vector<std::string>& command, Callbacks callbacks)
    : callbacks_(std::move(callbacks)) {
    if (command.empty()) throw std::runtime_error("no command to run the page with");
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error(std::strerror(errno));
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]);
        throw std::runtime_error(std::strerror(errno));
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
        throw std::runtime_error(std::strerror(errno));
    }
    std::vector<char*> argv;
    for (const auto& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execvp(argv[0], argv.data());
        const std::string message =
            std::string("cannot start ") + argv[0] + ": " + std::strerror(errno) + "\n";
        [[maybe_unused]] auto written = ::write(2, message.data(), message.size());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (pid_ < 0) {
        ::close(in[1]), ::close(out[0]), ::close(err[0]);
        throw std::runtime_error(std::strerror(errno));
    }
    ::setpgid(pid_, pid_);  // also from here, so a stop right away reaches the group
    input_ = in[1];
    stdoutReader_ = std::thread([this, fd = out[0]] { readOutput(fd, true); });
    stderrReader_ = std::thread([this, fd = err[0]] { readOutput(fd, false); });
    waiter_ = std::thread([this] {
        // Output first: every line the child wrote is handed on before its exit.
        stdoutReader_.join();
        stderrReader_.join();
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        {
            std::lock_guard lock(mutex_);
            exited_ = true;
            closeIfOpen(input_);
        }
        if (callbacks_.onExit) callbacks_.onExit(status);
    });
}

PageRun::~PageRun() {
    stop(std::chrono::milliseconds(1500));
    waiter_.join();
}

void PageRun::readOutput(int fd, bool isStdout) {
    std::string pending;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(count));
        std::size_t start = 0, newline;
        while ((newline = pending.find('\n', start)) != std::string::npos) {
            const std::string line = pending.substr(start, newline - start);
            start = newline + 1;
            if (isStdout ? bool(callbacks_.onLine) : bool(callbacks_.onDiagnostic))
                (isStdout ? callbacks_.onLine : callbacks_.onDiagnostic)(line);
        }
        pending.erase(0, start);
    }
    if (!pending.empty() && (isStdout ? bool(callbacks_.onLine) : bool(callbacks_.onDiagnostic)))
        (isStdout ? callbacks_.onLine : callbacks_.onDiagnostic)(pending);
    ::close(fd);
}

bool PageRun::send(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (exited_ || input_ < 0) return false;
    const std::string text = line + "\n";
    if (!base::writeAll(input_,
                        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})) {
        closeIfOpen(input_);
        return false;
    }
    return true;
}

void PageRun::stop(std::chrono::milliseconds grace) {
    if (!running()) return;
    send(R"({"command":"stop"})");
    const auto deadline = std::chrono::steady_clock::now() + grace;
    bool signalled = false;
    while (running()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            ::kill(-pid_, SIGKILL);
            break;
        }
        // Half way through the grace period, a termination signal as well.
        if (!signalled && now >= deadline - grace / 2) {
            ::kill(-pid_, SIGTERM);
            signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool PageRun::running() const {
    std::lock_guard lock(mutex_);
    return !exited_;
}

}  // namespace studio
