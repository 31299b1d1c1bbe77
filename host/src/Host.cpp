#include "Host.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <iostream>
#include <thread>

#include "Corral/PaddockNotifications.h"
#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"

namespace host {

namespace {

using Args = std::span<const base::ObjectRef>;

const base::Class& corralBridge() {
    const base::Class* cls = base::Runtime::shared().lookUpClass("_CorralFramework");
    if (!cls) throw std::runtime_error("the Corral library is not loaded");
    return *cls;
}

std::string textArgument(const Args& args, std::size_t index) {
    auto string = index < args.size() ? base::cast<base::String>(args[index]) : nullptr;
    return string ? string->text() : std::string();
}

base::ObjectRef stringArray(const std::vector<std::string>& texts) {
    std::vector<base::ObjectRef> elements;
    elements.reserve(texts.size());
    for (const auto& text : texts) elements.push_back(base::String::make(text));
    return base::Array::make(std::move(elements));
}

}  // namespace

std::FILE* takeOverStandardOutput() {
    std::fflush(stdout);
    int copy = dup(STDOUT_FILENO);
    std::FILE* out = copy >= 0 ? fdopen(copy, "w") : nullptr;
    if (!out) return stdout;
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return out;
}

Host::Host(HostOptions options, PageDocument document, PageModule module, std::FILE* out)
    : options_(std::move(options)),
      document_(std::move(document)),
      module_(module),
      transcript_(out, options_.json ? Transcript::Format::json : Transcript::Format::text),
      corral_(corralBridge()),
      store_(document_.storePath(),
             [this](const std::string& problem) { transcript_.event("store", problem); }) {}

void Host::observeNotifications() {
    for (const char* name : PaddockNotifications::allNames) {
        observers_.emplace_back(name, nullptr, [this](const base::Notification& n) {
            transcript_.notification(n);
            if (n.name == PaddockNotifications::keyValueStoreDidChange) {
                store_.apply(n.userInfo);
            } else if (n.name == PaddockNotifications::needsIndefiniteExecutionDidChange) {
                auto flag = n.userInfo ? base::cast<base::Number>(n.userInfo->objectForKey(
                                             PaddockNotifications::Key::needsIndefiniteExecution))
                                       : nullptr;
                wantsToKeepRunning_ = flag && flag->boolValue();
            } else if (n.name == PaddockNotifications::finishExecution) {
                // The library would wait ten minutes; the host ends the run now.
                transcript_.event("finished", "the page finished execution");
                endRun(0);
            }
        });
    }
}

void Host::installBridge() {
    corral_.send("initializeCorralFramework");
    corral_.send("setPaddockConsolePrintHook:", {base::Block::make([this](Args args) {
                     transcript_.console(textArgument(args, 0));
                     return base::ObjectRef();
                 })});
    corral_.send("setPaddockPageTextProvider:", {base::Block::make([this](Args) {
                     return base::ObjectRef(base::String::make(document_.pageText()));
                 })});
    corral_.send(
        "setUserModuleNamesProvider:",
        {base::Block::make([this](Args) { return stringArray(document_.moduleNames()); })});
    corral_.send("setUserModuleSourceFileListProvider:", {base::Block::make([this](Args args) {
                     return stringArray(document_.sourceFiles(textArgument(args, 0)));
                 })});
    corral_.send("setUserModuleSourceFileTextProvider:", {base::Block::make([this](Args args) {
                     auto text = document_.sourceText(textArgument(args, 0), textArgument(args, 1));
                     return text ? base::ObjectRef(base::String::make(*text)) : base::ObjectRef();
                 })});
    corral_.send("setContentsOfCurrentKeyValueStore:", {store_.load()});
    corral_.send(options_.modeSelector);
}

void Host::watchSignals() {
    // The signals are blocked in every thread and taken by one watcher, which
    // ends the run whatever the page is doing.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([this, signals] {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) return;
        transcript_.event("signal", strsignal(signal));
        endRun(128 + signal);
    }).detach();
}

int Host::finish(int status) {
    // The signal watcher and the main thread may both end the run: the
    // first does the work, the other waits for it.
    std::lock_guard lock(finishMutex_);
    if (finished_) return status;
    finished_ = true;
    store_.close();
    if (liveView_) liveView_->shutDown();
    transcript_.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}

void Host::endRun(int status) { _exit(finish(status)); }

int Host::run() { return finish(runPage()); }

int Host::runPage() {
    // A live view that goes away must not end the host: writes to it fail instead.
    ::signal(SIGPIPE, SIG_IGN);
    watchSignals();
    observeNotifications();
    installBridge();
    transcript_.event("started", document_.folder().string());
    if (!options_.liveViewApplication.empty()) {
        liveView_ = std::make_unique<LiveViewConnection>(corral_, transcript_);
        if (!liveView_->start(options_.liveViewApplication)) return 69;
    }
    try {
        module_.entryPoint()();
    } catch (const std::exception& e) {
        transcript_.event("error", std::string("the page threw: ") + e.what());
        return 70;
    } catch (...) {
        transcript_.event("error", "the page threw an exception");
        return 70;
    }
    std::cout.flush();
    if (!wantsToKeepRunning_) {
        transcript_.event("finished", "the page returned");
        return 0;
    }
    transcript_.event("running", "the page asked to keep running");
    auto deadline = base::RunLoop::Clock::time_point::max();
    if (options_.timeoutSeconds) {
        deadline = base::RunLoop::Clock::now() +
                   std::chrono::duration_cast<base::RunLoop::Clock::duration>(
                       std::chrono::duration<double>(*options_.timeoutSeconds));
    }
    if (!base::RunLoop::main().run(deadline)) {
        transcript_.event("timeout", "the page was still running when --timeout ran out");
        return 124;
    }
    transcript_.event("finished", "the run loop was stopped");
    return 0;
}

}  // namespace host
