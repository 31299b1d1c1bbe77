#include "Host.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <thread>

#include "Corral/PaddockNotifications.h"
#include "Corral/base/Log.h"
#include "Corral/base/Objects.h"
#include "Corral/base/RunLoop.h"
#include "ProtocolEvents.h"

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

const std::map<std::string, std::string>& executionModeSelectors() {
    static const std::map<std::string, std::string> modes = {
        {"run", "setExecutionModeToRun"},
        {"runFaster", "setExecutionModeToRunFaster"},
        {"runFastest", "setExecutionModeToRunFastest"},
        {"step", "setExecutionModeToStep"},
        {"stepSlowly", "setExecutionModeToStepSlowly"},
    };
    return modes;
}

Host::Host(HostOptions options, PageDocument document, PageModule module, int events, int commands,
           base::Ref<base::Dictionary> storeContents)
    : options_(std::move(options)),
      document_(std::move(document)),
      module_(module),
      events_(events),
      commands_(commands),
      seed_(std::move(storeContents)),
      corral_(corralBridge()),
      mode_("run") {
    events_.orderAfter({STDOUT_FILENO, STDERR_FILENO}, std::chrono::milliseconds(200));
}

void Host::observeNotifications() {
    for (const char* name : PaddockNotifications::allNames) {
        observers_.emplace_back(name, nullptr, [this](const base::Notification& n) {
            if (n.name == PaddockNotifications::finishExecution) {
                // The library would wait ten minutes; the host ends the run now.
                endRun(0, "finished", "the page finished execution");
            }
            if (n.name == PaddockNotifications::liveViewDidChange) {
                // Installing the remote live view's proxy posts nothing, so
                // any change means the page's live view is no longer it.
                if (liveView_) liveView_->stopPictures();
                presenter_->show(n.userInfo);
                return;
            }
            Json event = eventForNotification(n, mode_);
            if (event.is_null()) return;
            events_.send(event);
            const std::string& kind = event["event"].get_ref<const std::string&>();
            if (kind == "needsIndefiniteExecution") {
                wantsToKeepRunning_ = event["value"].get<bool>();
            } else if (kind == "wantsFullScreenLiveView") {
                presenter_->setFullScreen(event["value"].get<bool>());
            } else if (kind == "store") {
                auto info = base::cast<base::Dictionary>(n.userInfo);
                auto change = base::cast<base::Dictionary>(
                    info->objectForKey(PaddockNotifications::Key::keyValueStoreChange));
                auto value = change->objectForKey(PaddockNotifications::Key::changeValue);
                std::string key = event["key"].get<std::string>();
                if (!value || value->kind() == base::Kind::null) {
                    store_.erase(key);
                } else {
                    store_[key] = value;
                }
            }
        });
    }
}

void Host::relayDiagnostics() {
    // What Corral reports about itself (a store write or a message it
    // refused, host input it rejected) is told to whoever runs the page.
    // The host is never destroyed, so the observer stays valid.
    base::Log::addObserver([this](const base::LogEntry& entry) {
        if (entry.category == "Diagnostics") events_.event("Corral", entry.message);
    });
}

void Host::installBridge() {
    corral_.send("initializeCorralFramework");
    // What the page prints reaches the supervisor through the process's
    // standard output; the hook is installed so that std::cout is routed as
    // page code expects, and has nothing more to do.
    corral_.send("setPaddockConsolePrintHook:",
                 {base::Block::make([](Args) { return base::ObjectRef(); })});
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
    auto seed = seed_ ? seed_ : base::Dictionary::make();
    corral_.send("setContentsOfCurrentKeyValueStore:", {seed});
    for (const auto& [key, value] : *seed) store_[key->description()] = value;
    setMode(options_.mode);
}

void Host::connectProtocolLiveView() {
    // The protocol's reader is the live view: messages go out as events and
    // come back as "liveViewMessage" commands.
    corral_.send("setLiveViewMessageSender:", {base::Block::make([this](Args args) {
                     events_.send({{"event", "liveViewMessage"},
                                   {"message", taggedValue(args.empty() ? nullptr : args[0])}});
                     return base::ObjectRef();
                 })});
    corral_.send("liveViewMessageConnectionOpened");
    corral_.send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(true)});
}

void Host::setMode(const std::string& mode) {
    auto selector = executionModeSelectors().find(mode);
    if (selector == executionModeSelectors().end()) return;
    mode_ = mode;  // before the change is announced
    corral_.send(selector->second);
}

void Host::sendStoreContents() {
    Json contents = Json::object();
    for (const auto& [key, value] : store_) contents[key] = taggedValue(value);
    events_.send({{"event", "storeContents"}, {"contents", std::move(contents)}});
}

void Host::perform(const Json& command) {
    std::string error;
    auto reject = [&](const std::string& why) {
        events_.send({{"event", "commandError"}, {"command", command}, {"message", why}});
    };
    const std::string name =
        command.is_object() && command.contains("command") && command["command"].is_string()
            ? command["command"].get<std::string>()
            : "";
    if (name == "setMode") {
        if (!command.contains("mode") || !command["mode"].is_string() ||
            !executionModeSelectors().count(command["mode"].get<std::string>()))
            return reject("the mode is one of run, runFaster, runFastest, step, stepSlowly");
        setMode(command["mode"].get<std::string>());
    } else if (name == "setAssessmentStatus") {
        auto status = assessmentStatusObject(command.value("status", Json()), error);
        if (!status) return reject(error);
        corral_.send("setAssessmentStatus:", {*status});
    } else if (name == "seedStore") {
        auto contents = objectFromTaggedValue(
            {{"dictionary", command.value("contents", Json::object())}}, error);
        if (!contents) return reject(error);
        auto dictionary = base::cast<base::Dictionary>(*contents);
        corral_.send("setContentsOfCurrentKeyValueStore:", {dictionary});
        store_.clear();
        for (const auto& [key, value] : *dictionary)
            if (value->kind() != base::Kind::null) store_[key->description()] = value;
        sendStoreContents();
    } else if (name == "setStoreValue") {
        if (!command.contains("key") || !command["key"].is_string())
            return reject("setStoreValue needs a key");
        auto value = objectFromTaggedValue(command.value("value", Json()), error);
        if (!value) return reject(error);
        std::string key = command["key"].get<std::string>();
        auto object = *value ? *value : base::ObjectRef(base::Null::null());
        corral_.send("setCurrentKeyValueStoreValue:forKey:", {object, base::String::make(key)});
        if (object->kind() == base::Kind::null) {
            store_.erase(key);
        } else {
            store_[key] = object;
        }
        sendStoreContents();
    } else if (name == "liveViewMessage") {
        auto message = objectFromTaggedValue(command.value("message", Json()), error);
        if (!message) return reject(error);
        corral_.send("deliverLiveViewMessage:", {*message});
    } else if (name == "stop") {
        endRun(128 + SIGTERM, "stopped", "the run was stopped");
    } else {
        reject("unknown command");
    }
}

namespace {
// Takes the complete lines off the front of `pending`.
std::vector<std::string> completeLines(std::string& pending) {
    std::vector<std::string> lines;
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (line.find_first_not_of(" \t\r") != std::string::npos) lines.push_back(line);
    }
    return lines;
}
}  // namespace

void Host::readCommands() {
    auto parse = [this](const std::string& line) {
        Json command = Json::parse(line, nullptr, false);
        if (command.is_discarded()) {
            events_.send({{"event", "commandError"},
                          {"command", nullptr},
                          {"message", "not a JSON object: " + line}});
        }
        return command;
    };
    // Commands sent before the page started (a mode, a status) are already
    // waiting: carry them out before the page's first statement.
    std::string pending;
    char buffer[65536];
    pollfd waiting{commands_, POLLIN, 0};
    while (::poll(&waiting, 1, 0) == 1 && (waiting.revents & POLLIN)) {
        ssize_t n = ::read(commands_, buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, std::size_t(n));
    }
    for (const auto& line : completeLines(pending)) {
        Json command = parse(line);
        if (!command.is_discarded()) perform(command);
    }
    std::thread([this, parse, pending]() mutable {
        char chunk[65536];
        for (;;) {
            ssize_t n = ::read(commands_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            pending.append(chunk, std::size_t(n));
            for (const auto& line : completeLines(pending)) {
                Json command = parse(line);
                if (command.is_discarded()) continue;
                // Once the process is exiting the run loop may be gone.
                std::lock_guard lock(exitMutex_);
                if (exiting_) return;
                base::RunLoop::main().post([this, command] { perform(command); });
            }
        }
    }).detach();
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
        endRun(128 + signal, "signal",
               std::string("the page process received ") + strsignal(signal));
    }).detach();
}

bool Host::report(int status, const std::string& cause, const std::string& message) {
    {
        std::lock_guard lock(exitMutex_);
        if (exiting_) return false;
        exiting_ = true;
    }
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    if (liveView_) liveView_->shutDown();
    events_.send({{"event", "exit"}, {"cause", cause}, {"message", message}, {"status", status}});
    return true;
}

void Host::endRun(int status, const std::string& cause, const std::string& message) {
    // The signal watcher and the page's thread may both end the run: the
    // first reports and ends the process, the other waits for that.
    if (!report(status, cause, message)) {
        for (;;) pause();
    }
    _exit(status);
}

int Host::run() {
    Ending ending = runPage();
    if (!report(ending.status, ending.cause, ending.message)) {
        for (;;) pause();  // another thread is ending the process
    }
    return ending.status;
}

Host::Ending Host::runPage() {
    const Ending returned{0, "returned", "the page returned"};
    // A live view that goes away must not end the host: writes to it fail instead.
    ::signal(SIGPIPE, SIG_IGN);
    watchSignals();
    presenter_ = std::make_unique<LiveViewPresenter>([this](const Json& e) { events_.send(e); });
    relayDiagnostics();
    observeNotifications();
    installBridge();
    readCommands();
    sendStoreContents();
    events_.send({{"event", "started"},
                  {"mode", mode_},
                  {"page", document_.currentPage()},
                  {"name", document_.page().name}});
    if (!options_.liveViewApplication.empty()) {
        liveView_ = std::make_unique<LiveViewConnection>(corral_, events_);
        if (!liveView_->start(options_.liveViewApplication))
            return {69, "error", "the live view could not be started"};
    } else if (options_.liveViewOverProtocol) {
        connectProtocolLiveView();
    }
    try {
        module_.entryPoint()();
    } catch (const std::bad_alloc&) {
        return {70, "limit", "the page ran out of memory"};
    } catch (const std::exception& e) {
        return {70, "error", std::string("the page threw: ") + e.what()};
    } catch (...) {
        return {70, "error", "the page threw an exception"};
    }
    std::cout.flush();
    if (!wantsToKeepRunning_) return returned;
    events_.send({{"event", "running"}});
    base::RunLoop::main().run();
    return {0, "finished", "the run loop was stopped"};
}

}  // namespace host
