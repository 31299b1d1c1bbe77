#include "PageSupervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>

#include "ConsoleStream.h"
#include "Corral/PaddockNotifications.h"
#include "Corral/base/Objects.h"
#include "Deadline.h"
#include "Host.h"
#include "PageModule.h"
#include "ProtocolWriter.h"

#if defined(__SANITIZE_ADDRESS__)
#define CORRAL_HOST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORRAL_HOST_SANITIZED 1
#endif
#endif

namespace host {

namespace fs = std::filesystem;

namespace {

constexpr auto stopGrace = std::chrono::milliseconds(1500);
constexpr auto watchInterval = std::chrono::milliseconds(250);

struct Pipe {
    int read = -1;
    int write = -1;
    bool open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
};

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

void setLimit(int resource, double value, double hardExtra = 0) {
    if (value <= 0) return;
    rlimit limit;
    limit.rlim_cur = static_cast<rlim_t>(std::ceil(value));
    limit.rlim_max = static_cast<rlim_t>(std::ceil(value + hardExtra));
    setrlimit(resource, &limit);
}

// The shortest text of `value`, whatever the process's locale.
std::string numberText(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

std::string describeBytes(double bytes) {
    if (bytes >= 1024 * 1024) return numberText(bytes / (1024 * 1024)) + " MiB";
    return numberText(bytes) + " bytes";
}

bool isCrash(int signal) {
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS})
        if (signal == s) return true;
    return false;
}

Json diagnosticsJson(const std::vector<Diagnostic>& diagnostics) {
    Json list = Json::array();
    for (const auto& d : diagnostics) {
        list.push_back({{"file", d.file.empty() ? Json(nullptr) : Json(d.file)},
                        {"line", d.line ? Json(d.line) : Json(nullptr)},
                        {"column", d.column ? Json(d.column) : Json(nullptr)},
                        {"severity", d.severity},
                        {"message", d.message}});
    }
    return list;
}

}  // namespace

// One running child and the ends of its pipes.
struct PageSupervisor::Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    int events = -1;
    int commands = -1;
    ConsoleStream stdoutLines{"stdout"};
    ConsoleStream stderrLines{"stderr"};
    std::string eventsPending;
    std::string commandsPending;  // not yet taken by the child
    double consoleBytes = 0;
    std::optional<Json> exitEvent;
    // Set when the supervisor ends the run itself.
    std::optional<Outcome> stopping;
    SteadyClock::time_point killAt = SteadyClock::time_point::max();
    bool reaped = false;
    int waitStatus = 0;
};

PageSupervisor::PageSupervisor(HostOptions options, PageDocument document, Output output)
    : options_(std::move(options)),
      document_(std::move(document)),
      output_(std::move(output)),
      store_(options_.storePath.empty() ? document_.storePath() : fs::path(options_.storePath),
             [this](const std::string& problem) {
                 output_({{"event", "hostMessage"}, {"about", "store"}, {"message", problem}});
             }) {}

void PageSupervisor::setUpSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&signals, s);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    ::signal(SIGPIPE, SIG_IGN);
}

std::map<std::string, std::string> PageSupervisor::snapshot() const {
    // Size and time of every file a run compiles or reads.
    std::map<std::string, std::string> files;
    std::error_code ec;
    auto note = [&](const fs::path& relative) {
        fs::path path = document_.folder() / relative;
        auto size = fs::file_size(path, ec);
        auto time = fs::last_write_time(path, ec).time_since_epoch().count();
        files[relative.string()] = std::to_string(size) + "@" + std::to_string(time);
    };
    for (const auto& page : document_.pages()) note(page.file);
    for (const auto& module : document_.moduleNames())
        for (const auto& file : document_.sourceFiles(module))
            note(fs::path("Modules") / module / file);
    return files;
}

bool PageSupervisor::stopWhileCompiling() {
    std::vector<pollfd> fds = {{signalFd_, POLLIN, 0}};
    if (options_.protocol && inputOpen_) fds.push_back({STDIN_FILENO, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 0) > 0) {
        if (fds[0].revents) {
            signalfd_siginfo info;
            while (::read(signalFd_, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo != SIGCHLD) hostSignal_ = int(info.ssi_signo);
            }
        }
        if (fds.size() > 1 && fds[1].revents) readStandardInput(nullptr);
    }
    return stopRequested_ || (hostSignal_ && *hostSignal_);
}

std::optional<std::string> PageSupervisor::prepareModule(int& status,
                                                         std::optional<Outcome>& stopped) {
    if (!options_.pageModule.empty()) return options_.pageModule;
    if (!compiler_) {
        std::string error;
        auto corral = CorralInstallation::find(options_.corralPrefix, error);
        if (!corral) {
            output_({{"event", "compileError"},
                     {"diagnostics", Json::array()},
                     {"problem", "cannot compile pages: " + error}});
            status = 69;
            return std::nullopt;
        }
        fs::path cache = options_.cacheFolder.empty() ? PageCompiler::defaultCacheFolder()
                                                      : fs::path(options_.cacheFolder);
        compiler_.emplace(std::move(*corral), options_.compiler, cache);
    }
    output_({{"event", "compiling"},
             {"page", document_.currentPage()},
             {"file", document_.page().file.string()}});
    auto result = compiler_->compile(document_, [this] { return stopWhileCompiling(); });
    switch (result.outcome) {
        case CompileResult::Outcome::compiled:
            output_({{"event", "compiled"},
                     {"cached", result.cached},
                     {"diagnostics", diagnosticsJson(result.diagnostics)}});
            return result.module.string();
        case CompileResult::Outcome::failed:
            output_(
                {{"event", "compileError"}, {"diagnostics", diagnosticsJson(result.diagnostics)}});
            status = 65;
            return std::nullopt;
        case CompileResult::Outcome::stopped:
            if (hostSignal_ && *hostSignal_) {
                stopped = Outcome{"stopped",
                                  std::string("corral-host received ") + strsignal(*hostSignal_) +
                                      " while the page was compiling",
                                  128 + *hostSignal_, *hostSignal_};
            } else {
                stopped = Outcome{"stopped", "the run was stopped while the page was compiling", 0,
                                  std::nullopt};
            }
            status = stopped->status;
            return std::nullopt;
        case CompileResult::Outcome::unavailable:
            break;
    }
    output_(
        {{"event", "compileError"}, {"diagnostics", Json::array()}, {"problem", result.problem}});
    status = 69;
    return std::nullopt;
}

void PageSupervisor::relay(Json event, Child& child) {
    if (!event.is_object() || !event.contains("event") || !event["event"].is_string()) return;
    std::string kind = event["event"].get<std::string>();
    if (kind == "exit") {
        child.exitEvent = std::move(event);
        return;
    }
    std::string error;
    if (kind == "store") {
        auto value = objectFromTaggedValue(event.value("value", Json()), error);
        if (value) {
            auto change = base::Dictionary::withStringKeys(
                {{PaddockNotifications::Key::changeKey, base::String::make(event.value("key", ""))},
                 {PaddockNotifications::Key::changeValue,
                  *value ? *value : base::ObjectRef(base::Null::null())}});
            store_.apply(base::Dictionary::withStringKeys(
                {{PaddockNotifications::Key::keyValueStoreChange, change}}));
        }
    } else if (kind == "storeContents") {
        auto contents =
            objectFromTaggedValue({{"dictionary", event.value("contents", Json::object())}}, error);
        if (contents) store_.replace(base::cast<base::Dictionary>(*contents));
    } else if (kind == "openPage") {
        auto target = document_.resolve(event.value("reference", ""));
        event["page"] = target ? Json(*target) : Json(nullptr);
        event["name"] = target ? Json(document_.pages()[*target].name) : Json(nullptr);
        if (target && !options_.protocol) nextPage_ = target;
    }
    output_(event);
}

void PageSupervisor::command(const std::string& line, Child* child) {
    Json parsed = Json::parse(line, nullptr, false);
    std::string name = parsed.is_object() ? parsed.value("command", "") : "";
    if (name == "stop") {
        if (child && !child->stopping) {
            child->stopping = Outcome{"stopped", "the run was stopped", 0, std::nullopt};
        }
        if (!child && preparing_) {
            stopRequested_ = true;  // ends this run, as it would a running page
        } else if (!child) {
            hostSignal_ = 0;  // between runs: end the host
        }
        return;
    }
    if (name == "setMode" && parsed.contains("mode") && parsed["mode"].is_string() &&
        executionModeSelectors().count(parsed["mode"].get<std::string>())) {
        options_.mode = parsed["mode"].get<std::string>();  // for the runs that follow too
    }
    // Everything else is the page process's to judge and carry out.
    std::string text = line + "\n";
    if (child && child->commands >= 0) {
        child->commandsPending += text;
    } else if (name != "setMode") {
        queuedCommands_ += text;
    }
}

void PageSupervisor::takeWaitingInput() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (options_.protocol && inputOpen_ && ::poll(&input, 1, 0) == 1 &&
           readStandardInput(nullptr)) {
    }
}

bool PageSupervisor::readStandardInput(Child* child) {
    char buffer[65536];
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) {
        // The reader went away: nothing more can be asked of the page. It
        // runs on as it would without commands.
        inputOpen_ = false;
        return false;
    }
    inputPending_.append(buffer, std::size_t(n));
    for (std::size_t end; (end = inputPending_.find('\n')) != std::string::npos;) {
        std::string line = inputPending_.substr(0, end);
        inputPending_.erase(0, end + 1);
        if (line.find_first_not_of(" \t\r") != std::string::npos) command(line, child);
    }
    return true;
}

PageSupervisor::Outcome PageSupervisor::runChild(const std::string& module) {
    Pipe out, err, events, commands;
    if (!out.open() || !err.open() || !events.open() || !commands.open()) {
        return {"error", std::string("cannot make pipes: ") + std::strerror(errno), 71, {}};
    }
    Child child;
    child.commandsPending = std::move(queuedCommands_);
    queuedCommands_.clear();
    // Commands queued before the start are in the pipe before the child
    // looks, so that it carries them out before the page's first statement.
    if (child.commandsPending.size() < 60000 && writeAll(commands.write, child.commandsPending))
        child.commandsPending.clear();
    auto seed = store_.contents();
    std::fflush(stdout);
    std::fflush(stderr);

    pid_t supervisor = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        for (int* fd : {&out.read, &out.write, &err.read, &err.write, &events.read, &events.write,
                        &commands.read, &commands.write})
            closeFd(*fd);
        return {
            "error", std::string("cannot start the page process: ") + std::strerror(errno), 71, {}};
    }
    if (pid == 0) {
        // The page process. It must not outlive a supervisor that is killed
        // outright (nobody would stop it then).
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != supervisor) _exit(70);
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        closeFd(signalFd_);
        int null = ::open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        dup2(out.write, STDOUT_FILENO);
        dup2(err.write, STDERR_FILENO);
        closeFd(null);
        for (int* fd :
             {&out.read, &out.write, &err.read, &err.write, &events.read, &commands.write})
            closeFd(*fd);
        // Everything the page writes goes out at once, the last partial line too.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        std::setvbuf(stderr, nullptr, _IONBF, 0);
        setLimit(RLIMIT_CPU, options_.limits.cpuSeconds, 1);
#ifndef CORRAL_HOST_SANITIZED
        // The sanitizers reserve far more address space than a page uses.
        setLimit(RLIMIT_AS, options_.limits.memoryMiB * 1024 * 1024);
#endif
        setLimit(RLIMIT_NOFILE, options_.limits.openFiles);
        ProtocolWriter writer(events.write);
        auto fail = [&](int status, const std::string& message) {
            writer.send(
                {{"event", "exit"}, {"cause", "error"}, {"message", message}, {"status", status}});
            _exit(status);
        };
        std::string error;
        auto loaded = PageModule::load(module, error);
        if (!loaded) fail(66, error);
        try {
            // Page code may print from a static destructor as the process
            // exits; the hooks it reaches refer to the host, which therefore
            // is never destroyed (the static keeps it reachable).
            static Host* host = nullptr;
            host = new Host(options_, document_, *loaded, events.write, commands.read, seed);
            std::exit(host->run());
        } catch (const std::exception& e) {
            fail(70, e.what());
        }
        fail(70, "the page process failed");
    }

    child.pid = pid;
    setpgid(pid, pid);
    child.out = out.read;
    child.err = err.read;
    child.events = events.read;
    child.commands = commands.write;
    for (int* fd : {&out.write, &err.write, &events.write, &commands.read}) closeFd(*fd);
    for (int fd : {child.out, child.err, child.events, child.commands}) setNonBlocking(fd);

    auto deadline = options_.timeoutSeconds ? deadlineAfter(*options_.timeoutSeconds)
                                            : SteadyClock::time_point::max();
    auto nextWatch = SteadyClock::now() + watchInterval;

    auto consoleRead = [&](int& fd, ConsoleStream& lines) {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                if (child.stopping && child.stopping->cause == "limit") continue;  // dropped
                child.consoleBytes += double(n);
                for (auto& event : lines.add(std::string_view(buffer, std::size_t(n))))
                    output_(event);
                double limit = options_.limits.consoleBytes;
                if (limit > 0 && child.consoleBytes > limit && !child.stopping) {
                    child.stopping = Outcome{"limit",
                                             "the page wrote more than " + describeBytes(limit) +
                                                 " to the console and was stopped",
                                             70, std::nullopt};
                }
                continue;
            }
            if (n == 0) closeFd(fd);
            return;
        }
    };
    auto drainConsole = [&] {
        if (child.out >= 0) consoleRead(child.out, child.stdoutLines);
        if (child.err >= 0) consoleRead(child.err, child.stderrLines);
    };
    auto eventsRead = [&] {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(child.events, buffer, sizeof buffer);
            if (n > 0) {
                child.eventsPending.append(buffer, std::size_t(n));
                continue;
            }
            if (n == 0) closeFd(child.events);
            break;
        }
        for (std::size_t end; (end = child.eventsPending.find('\n')) != std::string::npos;) {
            std::string line = child.eventsPending.substr(0, end);
            child.eventsPending.erase(0, end + 1);
            Json event = Json::parse(line, nullptr, false);
            if (!event.is_discarded()) relay(std::move(event), child);
        }
    };
    bool signalled = false;
    auto beginStop = [&] {
        if (signalled) return;
        signalled = true;
        // The page process ends itself cleanly on SIGTERM; what does not end
        // in time (the page, or a live view it started) is killed.
        kill(child.pid, SIGTERM);
        child.killAt = SteadyClock::now() + stopGrace;
    };

    while (!child.reaped || child.out >= 0 || child.err >= 0 || child.events >= 0) {
        if (child.stopping) beginStop();
        std::vector<pollfd> fds;
        auto watchFd = [&](int fd, short what) {
            if (fd >= 0) fds.push_back({fd, what, 0});
        };
        // Events first: the page process sends one only once everything
        // printed before it has been read, so console bytes that are waiting
        // now were printed after the event that is waiting.
        watchFd(child.events, POLLIN);
        watchFd(child.out, POLLIN);
        watchFd(child.err, POLLIN);
        watchFd(signalFd_, POLLIN);
        if (options_.protocol && inputOpen_ && !child.reaped) watchFd(STDIN_FILENO, POLLIN);
        if (!child.commandsPending.empty()) watchFd(child.commands, POLLOUT);
        auto now = SteadyClock::now();
        auto wake =
            std::min(child.reaped ? now + std::chrono::milliseconds(200) : deadline, child.killAt);
        if (options_.watch) wake = std::min(wake, nextWatch);
        int ready = ::poll(fds.data(), fds.size(), pollTimeout(wake, now));
        if (ready < 0 && errno != EINTR) break;
        now = SteadyClock::now();
        if (child.reaped && ready == 0) break;  // a live view the page left holds the pipes
        for (const auto& p : fds) {
            if (!p.revents) continue;
            if (p.fd == child.events) {
                eventsRead();
            } else if (p.fd == child.out || p.fd == child.err) {
                drainConsole();
            } else if (p.fd == STDIN_FILENO) {
                readStandardInput(&child);
            } else if (p.fd == child.commands) {
                ssize_t n = ::write(child.commands, child.commandsPending.data(),
                                    child.commandsPending.size());
                if (n > 0) child.commandsPending.erase(0, std::size_t(n));
                if (n < 0 && errno != EAGAIN && errno != EINTR) child.commandsPending.clear();
            } else if (p.fd == signalFd_) {
                signalfd_siginfo info;
                while (::read(signalFd_, &info, sizeof info) == sizeof info) {
                    if (info.ssi_signo == SIGCHLD) continue;
                    hostSignal_ = int(info.ssi_signo);
                    if (!child.stopping)
                        child.stopping = Outcome{
                            "stopped",
                            std::string("corral-host received ") + strsignal(int(info.ssi_signo)),
                            128 + int(info.ssi_signo), int(info.ssi_signo)};
                }
            }
        }
        if (!child.reaped) {
            int status = 0;
            if (waitpid(child.pid, &status, WNOHANG) == child.pid) {
                child.reaped = true;
                child.waitStatus = status;
            }
        }
        if (!child.reaped && !child.stopping && now >= deadline) {
            child.stopping = Outcome{"timeout", "the run was still going when --timeout ran out",
                                     124, std::nullopt};
        }
        if (!child.reaped && !child.stopping && options_.watch && now >= nextWatch) {
            nextWatch = now + watchInterval;
            if (snapshot() != sources_)
                child.stopping = Outcome{"stopped", "the sources changed", 0, std::nullopt};
        }
        if (now >= child.killAt) {
            kill(-child.pid, SIGKILL);
            kill(child.pid, SIGKILL);
            child.killAt = SteadyClock::time_point::max();
        }
    }
    if (!child.reaped) {
        kill(-child.pid, SIGKILL);
        waitpid(child.pid, &child.waitStatus, 0);
    }
    kill(-child.pid, SIGKILL);  // whatever the page left behind in its group
    eventsRead();
    drainConsole();
    for (int* fd : {&child.out, &child.err, &child.events, &child.commands}) closeFd(*fd);
    for (auto& event : child.stdoutLines.finish()) output_(event);
    for (auto& event : child.stderrLines.finish()) output_(event);

    if (child.stopping) return *child.stopping;
    int status = child.waitStatus;
    if (child.exitEvent) {
        const Json& e = *child.exitEvent;
        Outcome outcome{e.value("cause", "error"), e.value("message", ""), 0, std::nullopt};
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : 70;
        outcome.status = code;
        if (outcome.cause == "signal") outcome.signal = code - 128;
        if (WIFSIGNALED(status)) {
            // It reported, then was ended by a signal before it could exit.
            outcome.cause = isCrash(WTERMSIG(status)) ? "crash" : outcome.cause;
        }
        return outcome;
    }
    if (WIFSIGNALED(status)) {
        int signal = WTERMSIG(status);
        if (signal == SIGXCPU || (signal == SIGKILL && options_.limits.cpuSeconds > 0)) {
            return {"limit",
                    "the page used up its CPU time (" + numberText(options_.limits.cpuSeconds) +
                        " s) and was stopped",
                    70, signal};
        }
        if (isCrash(signal))
            return {"crash", std::string("the page crashed: ") + strsignal(signal), 70, signal};
        return {"signal", std::string("the page was ended by a signal: ") + strsignal(signal),
                128 + signal, signal};
    }
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 70;
    return {"exited", "the page ended its process with status " + std::to_string(code), code,
            std::nullopt};
}

bool PageSupervisor::waitForChange() {
    for (;;) {
        if (hostSignal_) return false;
        std::vector<pollfd> fds = {{signalFd_, POLLIN, 0}};
        if (options_.protocol && inputOpen_) fds.push_back({STDIN_FILENO, POLLIN, 0});
        int ready = ::poll(fds.data(), fds.size(), int(watchInterval.count()));
        if (ready > 0) {
            if (fds[0].revents) {
                signalfd_siginfo info;
                while (::read(signalFd_, &info, sizeof info) == sizeof info) {
                    if (info.ssi_signo != SIGCHLD) hostSignal_ = int(info.ssi_signo);
                }
            }
            if (fds.size() > 1 && fds[1].revents) readStandardInput(nullptr);
        }
        if (hostSignal_) return false;
        if (snapshot() != sources_) return true;
    }
}

int PageSupervisor::run() {
    setUpSignals();
    inputOpen_ = options_.protocol;
    if (!options_.page.empty()) {
        auto target = document_.resolve(options_.page);
        if (!target) {
            char* end = nullptr;
            long number = std::strtol(options_.page.c_str(), &end, 10);
            if (*end == '\0' && number >= 1 && std::size_t(number) <= document_.pages().size())
                target = std::size_t(number - 1);
        }
        if (!target) {
            output_({{"event", "hostMessage"},
                     {"about", "document"},
                     {"message", "the document has no page " + options_.page}});
            return 64;
        }
        document_.selectPage(*target);
    }
    Json pages = Json::array();
    for (const auto& page : document_.pages()) pages.push_back(page.name);
    output_({{"event", "hello"},
             {"protocol", 1},
             {"version", hostVersion().substr(std::string("corral-host ").size())},
             {"page", document_.currentPage()},
             {"pages", std::move(pages)}});
    store_.load();
    output_({{"event", "storeFile"}, {"path", store_.file().string()}});

    int status = 0;
    auto reportEnd = [&](const Outcome& outcome) {
        status = outcome.status;
        output_({{"event", "ended"},
                 {"cause", outcome.cause},
                 {"message", outcome.message},
                 {"status", outcome.status},
                 {"signal", outcome.signal ? Json(*outcome.signal) : Json(nullptr)}});
    };
    for (;;) {
        sources_ = snapshot();
        nextPage_.reset();
        stopRequested_ = false;
        std::optional<Outcome> stopped;
        preparing_ = true;
        auto module = prepareModule(status, stopped);
        // Commands that are already waiting (a mode, a status) apply to the
        // page's first statement: they are taken here and handed to the
        // child before it starts, not left to race its start.
        if (module) takeWaitingInput();
        preparing_ = false;
        if (module && stopRequested_) {
            reportEnd({"stopped", "the run was stopped before the page started", 0, std::nullopt});
        } else if (module) {
            reportEnd(runChild(*module));
        } else if (stopped) {
            reportEnd(*stopped);
        }
        if (hostSignal_) return *hostSignal_ ? 128 + *hostSignal_ : status;
        if (nextPage_) {
            document_.selectPage(*nextPage_);
            continue;
        }
        if (!options_.watch) break;
        if (!waitForChange()) break;
    }
    store_.close();
    if (hostSignal_ && *hostSignal_) return 128 + *hostSignal_;
    return status;
}

}  // namespace host
