#include "Corral/Studio/StudioServer.h"

#include <httplib.h>
#include <sys/wait.h>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

#include "Corral/base/FileSystem.h"
#include "DocumentFiles.h"
#include "EventLog.h"
#include "PageRun.h"
#include "RequestGuard.h"

namespace studio {

using nlohmann::json;

namespace {

constexpr const char* tokenCookie = "corral_token";

const std::vector<std::string> executionModes = {"run", "runFaster", "runFastest", "step",
                                                 "stepSlowly"};
// Commands the browser may send on to a run.
const std::vector<std::string> forwardedCommands = {"setMode", "setAssessmentStatus", "seedStore",
                                                    "setStoreValue", "liveViewMessage"};

bool contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

void reply(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace),
                         "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& message) {
    reply(response, status, json{{"error", message}});
}

std::optional<json> parseBody(const httplib::Request& request, httplib::Response& response) {
    json body = json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        refuse(response, 400, "the request's body is not a JSON object");
        return std::nullopt;
    }
    return body;
}

// What the end of a child says when it exited without reporting its end.
json endOfSilentRun(int waitStatus) {
    json event = {{"event", "ended"}, {"signal", nullptr}};
    if (WIFSIGNALED(waitStatus)) {
        event["cause"] = "signal";
        event["signal"] = WTERMSIG(waitStatus);
        event["status"] = 128 + WTERMSIG(waitStatus);
        event["message"] = std::string("the run was ended by signal ") +
                           std::to_string(WTERMSIG(waitStatus)) + " (" +
                           strsignal(WTERMSIG(waitStatus)) + ")";
    } else {
        const int status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 70;
        event["cause"] = "error";
        event["status"] = status;
        event["message"] = "the page process exited with status " + std::to_string(status) +
                           " without reporting the end of its run";
    }
    return event;
}

}  // namespace

struct StudioServer::State {
    StudioOptions options;
    RequestGuard guard;
    DocumentFiles files;
    EventLog events;
    httplib::Server server;
    int port = 0;

    std::mutex runMutex;
    std::unique_ptr<PageRun> run;
    std::uint64_t runNumber = 0;
    std::shared_ptr<std::atomic<bool>> runReportedEnd;
    // What the latest run was started with, so that a change of the sources
    // on disk (a save from the browser or another editor) runs it again.
    std::optional<std::size_t> sourcesOfLastRun;
    std::string lastMode = "run", lastPage;
    std::mutex watchMutex;
    std::condition_variable watchWake;
    bool watching = true;
    std::thread watcher;

    explicit State(StudioOptions o)
        : options(std::move(o)),
          guard(options.host, 0, ""),
          files(std::filesystem::path(options.document)) {
        if (options.token.empty()) options.token = makeRandomToken();
        watcher = std::thread([this] { watchSources(); });
    }

    ~State() {
        {
            std::lock_guard lock(watchMutex);
            watching = false;
        }
        watchWake.notify_all();
        watcher.join();
    }

    std::size_t sourcesFingerprint() {
        std::string all;
        for (const auto& file : files.list())
            all += file.module + '/' + file.name + '\0' + file.text + '\0';
        return std::hash<std::string>{}(all);
    }

    // Polls the document's sources; once they differ from what the latest
    // run started with and have stayed the same for one poll, runs again.
    void watchSources() {
        std::optional<std::size_t> previous;
        std::unique_lock lock(watchMutex);
        while (!watchWake.wait_for(lock, std::chrono::milliseconds(250),
                                   [this] { return !watching; })) {
            const std::size_t now = sourcesFingerprint();
            std::string mode, page;
            {
                std::lock_guard runLock(runMutex);
                if (!sourcesOfLastRun || *sourcesOfLastRun == now || previous != now) {
                    previous = now;
                    continue;
                }
                mode = lastMode;
                page = lastPage;
            }
            publish({{"event", "hostMessage"},
                     {"about", "document"},
                     {"message", "the sources changed: running the page again"}});
            startRun(mode, page);
        }
    }

    void publish(const json& event) {
        events.append(event.dump(-1, ' ', false, json::error_handler_t::replace));
    }

    bool admitted(const httplib::Request& request, httplib::Response& response) {
        if (!guard.hostIsOwn(request.get_header_value("Host"))) {
            refuse(response, 403, "this server answers only to its own address");
            return false;
        }
        if (!guard.originIsOwn(request.get_header_value("Origin"))) {
            refuse(response, 403, "requests from other sites are refused");
            return false;
        }
        const std::string token =
            request.has_param("token") ? request.get_param_value("token")
            : request.has_header("X-Corral-Token")
                ? request.get_header_value("X-Corral-Token")
                : cookieValue(request.get_header_value("Cookie"), tokenCookie);
        if (!guard.tokenMatches(token)) {
            refuse(response, 403, "open the address the studio printed: it carries the token");
            return false;
        }
        return true;
    }

    void serveAsset(const std::string& name, const char* type, httplib::Response& response) {
        auto bytes = base::readFile((std::filesystem::path(options.assetsFolder) / name).string());
        if (!bytes) {
            refuse(response, 500, "the studio's front end is not installed (" + name + ")");
            return;
        }
        response.set_content(std::string(bytes->begin(), bytes->end()), type);
        response.set_header("Cache-Control", "no-store");
    }

    json documentDescription() {
        json files = json::array();
        for (const auto& file : this->files.list())
            files.push_back({{"module", file.module}, {"name", file.name}, {"text", file.text}});
        std::lock_guard lock(runMutex);
        return {{"document", std::filesystem::path(options.document).filename().string()},
                {"files", files},
                {"running", run && run->running()},
                {"lastEvent", events.last()}};
    }

    // Starts a run, ending the one before it first.
    std::uint64_t startRun(const std::string& mode, const std::string& page) {
        std::unique_ptr<PageRun> previous;
        std::lock_guard lock(runMutex);
        previous = std::move(run);
        previous.reset();  // stops and waits; its end is published before the new start
        sourcesOfLastRun = sourcesFingerprint();
        lastMode = mode;
        lastPage = page;
        std::vector<std::string> command = options.pageCommand;
        command.insert(command.end(), {"--protocol", "--mode", mode});
        if (!page.empty()) command.insert(command.end(), {"--page", page});
        command.insert(command.end(), options.runOptions.begin(), options.runOptions.end());
        command.push_back(options.document);
        const std::uint64_t number = ++runNumber;
        auto reportedEnd = std::make_shared<std::atomic<bool>>(false);
        runReportedEnd = reportedEnd;
        publish({{"event", "runRequested"}, {"run", number}, {"mode", mode}, {"page", page}});
        PageRun::Callbacks callbacks;
        callbacks.onLine = [this, reportedEnd](const std::string& line) {
            json event = json::parse(line, nullptr, false);
            if (event.is_discarded() || !event.is_object() || !event.contains("event")) {
                publish({{"event", "hostMessage"},
                         {"about", "page process"},
                         {"message", "unreadable output: " + line.substr(0, 200)}});
                return;
            }
            const std::string kind =
                event["event"].is_string() ? event["event"].get<std::string>() : "";
            if (kind == "ended" || kind == "compileError") *reportedEnd = true;
            publish(event);
        };
        callbacks.onDiagnostic = [this](const std::string& line) {
            publish({{"event", "hostMessage"}, {"about", "page process"}, {"message", line}});
        };
        callbacks.onExit = [this, reportedEnd, number](int waitStatus) {
            if (!*reportedEnd) publish(endOfSilentRun(waitStatus));
            publish({{"event", "runFinished"}, {"run", number}});
        };
        try {
            run = std::make_unique<PageRun>(command, std::move(callbacks));
        } catch (const std::exception& e) {
            publish({{"event", "ended"},
                     {"cause", "error"},
                     {"status", 70},
                     {"signal", nullptr},
                     {"message", std::string("the page could not be started: ") + e.what()}});
        }
        return number;
    }

    void routes();
};

void StudioServer::State::routes() {
    // Events go out as small writes, each of which the browser must see at
    // once: without this, a write that follows another one unanswered waits
    // for the browser's delayed acknowledgement (tens of milliseconds).
    server.set_tcp_nodelay(true);
    server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            return admitted(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                               : httplib::Server::HandlerResponse::Handled;
        });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Referrer-Policy", "no-referrer");
    });
    server.Get("/", [this](const httplib::Request& request, httplib::Response& response) {
        serveAsset("index.html", "text/html; charset=utf-8", response);
        if (request.has_param("token"))
            response.set_header("Set-Cookie", std::string(tokenCookie) + "=" + guard.token() +
                                                  "; Path=/; HttpOnly; SameSite=Strict");
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; img-src 'self' blob: data:; "
                            "style-src 'self' 'unsafe-inline'; frame-ancestors 'none'");
    });
    server.Get("/studio.js", [this](const httplib::Request&, httplib::Response& response) {
        serveAsset("studio.js", "text/javascript; charset=utf-8", response);
    });
    server.Get("/studio.css", [this](const httplib::Request&, httplib::Response& response) {
        serveAsset("studio.css", "text/css; charset=utf-8", response);
    });
    server.Get("/api/document", [this](const httplib::Request&, httplib::Response& response) {
        reply(response, 200, documentDescription());
    });
    server.Post("/api/save", [this](const httplib::Request& request, httplib::Response& response) {
        auto body = parseBody(request, response);
        if (!body) return;
        std::string error;
        if (!(*body)["text"].is_string() || !(*body)["name"].is_string())
            return refuse(response, 400, "a save needs the file's name and text");
        const std::string module = body->value("module", "");
        if (!files.save(module, (*body)["name"], (*body)["text"], error))
            return refuse(response, 400, error);
        reply(response, 200, json{{"saved", (*body)["name"]}});
    });
    server.Post("/api/run", [this](const httplib::Request& request, httplib::Response& response) {
        auto body = parseBody(request, response);
        if (!body) return;
        const std::string mode = body->value("mode", "run");
        if (!contains(executionModes, mode)) return refuse(response, 400, "no such mode: " + mode);
        const json page = body->value("page", json());
        std::string pageName;
        if (page.is_string())
            pageName = page.get<std::string>();
        else if (page.is_number_unsigned())
            pageName = std::to_string(page.get<unsigned>());
        reply(response, 200, json{{"run", startRun(mode, pageName)}});
    });
    server.Post("/api/stop", [this](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(runMutex);
        const bool wasRunning = run && run->running();
        if (wasRunning) run->send(R"({"command":"stop"})");
        reply(response, 200, json{{"stopping", wasRunning}});
    });
    server.Post("/api/command",
                [this](const httplib::Request& request, httplib::Response& response) {
                    auto body = parseBody(request, response);
                    if (!body) return;
                    const std::string command = body->value("command", "");
                    if (!contains(forwardedCommands, command))
                        return refuse(response, 400, "not a command for a run: " + command);
                    std::lock_guard lock(runMutex);
                    if (!run || !run->running()) return refuse(response, 409, "no page is running");
                    run->send(body->dump(-1, ' ', false, json::error_handler_t::replace));
                    reply(response, 200, json{{"sent", command}});
                });
    server.Get("/api/events", [this](const httplib::Request& request, httplib::Response& response) {
        std::uint64_t after = 0;
        const std::string resume = request.has_header("Last-Event-ID")
                                       ? request.get_header_value("Last-Event-ID")
                                       : request.get_param_value("after");
        try {
            if (!resume.empty()) after = std::stoull(resume);
        } catch (const std::exception&) {
        }
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream", [this, after](std::size_t, httplib::DataSink& sink) mutable {
                std::vector<std::string> batch;
                const std::uint64_t last =
                    events.readAfter(after, batch, std::chrono::milliseconds(10000));
                if (events.closed()) {
                    sink.done();
                    return true;
                }
                std::string text;
                const std::uint64_t first = last - batch.size() + 1;
                for (std::size_t i = 0; i < batch.size(); ++i)
                    text += "id: " + std::to_string(first + i) + "\ndata: " + batch[i] + "\n\n";
                if (batch.empty()) text = ": still here\n\n";
                after = last;
                return sink.write(text.data(), text.size());
            });
    });
}

StudioServer::StudioServer(StudioOptions options)
    : state_(std::make_unique<State>(std::move(options))) {
    state_->routes();
}

StudioServer::~StudioServer() {
    stop();
    std::lock_guard lock(state_->runMutex);
    state_->run.reset();
}

bool StudioServer::bind(std::string& error) {
    auto& s = *state_;
    s.port = s.options.port
                 ? (s.server.bind_to_port(s.options.host, s.options.port) ? s.options.port : -1)
                 : s.server.bind_to_any_port(s.options.host);
    if (s.port <= 0) {
        error = "cannot listen on " + s.options.host + ":" + std::to_string(s.options.port);
        return false;
    }
    s.guard = RequestGuard(s.options.host, s.port, s.options.token);
    return true;
}

void StudioServer::serve() { state_->server.listen_after_bind(); }

void StudioServer::stop() {
    state_->events.close();
    state_->server.stop();
}

int StudioServer::port() const { return state_->port; }
const std::string& StudioServer::token() const { return state_->options.token; }

std::string StudioServer::address() const {
    const std::string& host = state_->options.host;
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + shown + ":" + std::to_string(port()) + "/?token=" + token();
}

}  // namespace studio
