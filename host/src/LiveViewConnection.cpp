#include "LiveViewConnection.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "Corral/base/Objects.h"

extern char** environ;

namespace host {

namespace {

constexpr int kChildSocket = 3;
constexpr int kChildPictureSocket = 4;

// Runs `application` with `socket` as its descriptor 3, `pictures` as its
// descriptor 4, the host's standard error as its standard output and the
// default signal mask and handlers. Both sockets must lie above 4, so that
// placing one cannot overwrite the other.
pid_t spawnLiveView(const std::string& application, int socket, int pictures, std::string& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, socket, kChildSocket);  // clears close-on-exec
    posix_spawn_file_actions_adddup2(&actions, pictures, kChildPictureSocket);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> environment = {
        "CORRAL_LIVE_VIEW_SOCKET=" + std::to_string(kChildSocket),
        "CORRAL_LIVE_VIEW_PICTURE_SOCKET=" + std::to_string(kChildPictureSocket)};
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "CORRAL_LIVE_VIEW_SOCKET=", 24) != 0 &&
            std::strncmp(*entry, "CORRAL_LIVE_VIEW_PICTURE_SOCKET=", 32) != 0)
            environment.push_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = application;
    char* argv[] = {program.data(), nullptr};

    pid_t child = -1;
    int result = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        error = "cannot start the live view " + application + ": " + std::strerror(result);
        return -1;
    }
    return child;
}

// Moves `fd` above the descriptors the live view gets; -1 when it cannot.
int movedAbove(int fd, int lowest) {
    if (fd >= lowest) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, lowest);
    ::close(fd);
    return moved;
}

std::string describeExit(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        return std::string("was killed by signal ") + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    }
    return "ended";
}

}  // namespace

LiveViewConnection::LiveViewConnection(const base::Class& corral, ProtocolWriter& transcript)
    : corral_(corral), transcript_(transcript) {}

LiveViewConnection::~LiveViewConnection() { shutDown(); }

bool LiveViewConnection::start(const std::string& application) {
    int sockets[2], pictures[2];
    if (!makeSocketPair(sockets)) return false;
    if (!makeSocketPair(pictures)) {
        ::close(sockets[0]);
        ::close(sockets[1]);
        return false;
    }
    std::string error;
    pid_t child = spawnLiveView(application, sockets[1], pictures[1], error);
    ::close(sockets[1]);
    ::close(pictures[1]);
    {
        std::lock_guard lock(processMutex_);
        process_ = child;
    }
    if (child < 0) {
        ::close(sockets[0]);
        ::close(pictures[0]);
        transcript_.event("error", error);
        return false;
    }
    pictures_ = std::make_unique<LiveViewPictures>(pictures[0], transcript_);
    transcript_.event("live view",
                      "started " + application + " as process " + std::to_string(child));
    channel_ = std::make_unique<transport::MessageChannel>(
        sockets[0],
        transport::MessageChannel::Handlers{
            [this](const base::ObjectRef& message) {
                corral_.send("deliverLiveViewMessage:", {message});
            },
            [this](const std::string& problem) { transcript_.event("live view", problem); },
            [this](const std::string& reason) { connectionClosed(reason); },
        });
    corral_.send("setLiveViewMessageSender:",
                 {base::Block::make([this](std::span<const base::ObjectRef> args) {
                     if (!args.empty()) channel_->send(args[0]);
                     return base::ObjectRef();
                 })});
    open_ = true;
    corral_.send("liveViewMessageConnectionOpened");
    corral_.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(true)});
    channel_->start();
    return true;
}

bool LiveViewConnection::makeSocketPair(int (&sockets)[2]) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) == 0) {
        sockets[0] = movedAbove(sockets[0], kChildPictureSocket + 1);
        sockets[1] = movedAbove(sockets[1], kChildPictureSocket + 1);
        if (sockets[0] >= 0 && sockets[1] >= 0) return true;
        if (sockets[0] >= 0) ::close(sockets[0]);
        if (sockets[1] >= 0) ::close(sockets[1]);
    }
    transcript_.event("error", std::string("cannot make a socket pair: ") + std::strerror(errno));
    return false;
}

void LiveViewConnection::connectionClosed(const std::string& reason) {
    if (!open_.exchange(false)) return;
    std::string status;
    {
        std::lock_guard lock(processMutex_);
        status = reapProcess(std::chrono::milliseconds(500));
    }
    transcript_.event("live view", "the connection closed" +
                                       (reason.empty() ? std::string() : ": " + reason) +
                                       (status.empty() ? "" : "; the live view " + status));
    // No picture of the live view may follow the news that it is gone; the
    // last one it drew comes before it.
    if (pictures_) pictures_->finish(std::chrono::milliseconds(500));
    corral_.send("liveViewMessageConnectionClosed");
    corral_.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(false)});
}

std::string LiveViewConnection::reapProcess(std::chrono::milliseconds patience) {
    if (process_ <= 0) return {};
    auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(process_, &status, WNOHANG);
        if (done == process_ || (done < 0 && errno != EINTR)) {
            process_ = -1;
            return done < 0 ? std::string() : describeExit(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void LiveViewConnection::stopPictures() {
    if (pictures_) pictures_->stop();
}

void LiveViewConnection::shutDown() {
    std::lock_guard lock(processMutex_);
    if (shutDown_) return;
    shutDown_ = true;
    if (channel_) channel_->close();
    if (reapProcess(std::chrono::milliseconds(2000)).empty() && process_ > 0) {
        // Not reaped, and nobody else reaps while the lock is held: the pid
        // is still the live view's.
        ::kill(process_, SIGKILL);
        reapProcess(std::chrono::milliseconds(2000));
    }
    // The live view sent its last picture as it ended: relay it too.
    if (pictures_) pictures_->finish(std::chrono::milliseconds(500));
}

}  // namespace host
