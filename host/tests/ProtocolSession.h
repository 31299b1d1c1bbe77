#pragma once
// Runs the built corral-host in the page-process protocol as a studio would:
// commands written to its standard input, events read from its standard
// output, one JSON object per line.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Corral/testing/ChildProcess.h"

class ProtocolSession {
public:
    using Json = nlohmann::json;

    // Starts `corral-host --protocol arguments...`. `sentFirst` is in its
    // input before it starts, so it is there whenever the host first looks.
    explicit ProtocolSession(std::vector<std::string> arguments,
                             const std::vector<Json>& sentFirst = {}) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        for (const Json& command : sentFirst) {
            std::string line = command.dump() + "\n";
            (void)!::write(in[1], line.data(), line.size());
        }
        arguments.insert(arguments.begin(), "--protocol");
        process_.emplace(
            CORRAL_HOST, std::move(arguments), -1,
            std::vector<testing_support::ChildProcess::Redirect>{{in[0], 0}, {out[1], 1}});
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~ProtocolSession() {
        closeInput();
        if (output_ >= 0) ::close(output_);
    }
    ProtocolSession(const ProtocolSession&) = delete;
    ProtocolSession& operator=(const ProtocolSession&) = delete;

    bool started() const { return process_ && process_->pid() > 0; }

    void send(const Json& command) {
        std::string line = command.dump() + "\n";
        if (input_ >= 0) (void)!::write(input_, line.data(), line.size());
    }
    void closeInput() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    // The next event of `kind` (any kind when empty), reading for at most
    // `patience`; nothing when none came. Every event read is kept.
    std::optional<Json> waitFor(const std::string& kind,
                                std::chrono::milliseconds patience = std::chrono::seconds(60)) {
        auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            while (next_ < events_.size()) {
                const Json& event = events_[next_++];
                if (kind.empty() || event.value("event", "") == kind) return event;
            }
            if (!readSome(deadline)) return std::nullopt;
        }
    }

    // Reads to the end of the output and waits for the host to exit: its
    // exit status, or -1 when it did not exit normally in time.
    int finish(std::chrono::milliseconds patience = std::chrono::seconds(60)) {
        auto deadline = std::chrono::steady_clock::now() + patience;
        while (readSome(deadline)) {
        }
        if (!process_) return -1;
        auto status = process_->wait(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(deadline - std::chrono::steady_clock::now(),
                     std::chrono::steady_clock::duration::zero())));
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    const std::vector<Json>& events() const { return events_; }
    std::vector<Json> eventsOf(const std::string& kind) const {
        std::vector<Json> found;
        for (const auto& event : events_)
            if (event.value("event", "") == kind) found.push_back(event);
        return found;
    }
    // Everything read, as it came (for failure messages).
    const std::string& transcript() const { return transcript_; }

private:
    // Reads what is there, waiting until `deadline`; false at the end of
    // the output or when the time is up.
    bool readSome(std::chrono::steady_clock::time_point deadline) {
        if (output_ < 0) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd waiting{output_, POLLIN, 0};
        if (::poll(&waiting, 1, int(left.count())) <= 0) return false;
        char buffer[65536];
        ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n <= 0) {
            ::close(output_);
            output_ = -1;
            return false;
        }
        transcript_.append(buffer, std::size_t(n));
        pending_.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            Json event = Json::parse(pending_.substr(0, end), nullptr, false);
            pending_.erase(0, end + 1);
            // A line that is not JSON is a fault of the host: keep it visible.
            events_.push_back(event.is_discarded() ? Json{{"event", "notJson"}} : event);
        }
        return true;
    }

    std::optional<testing_support::ChildProcess> process_;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
    std::string transcript_;
    std::vector<Json> events_;
    std::size_t next_ = 0;
};
