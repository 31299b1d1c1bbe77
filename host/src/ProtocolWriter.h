#pragma once
// Writes protocol messages, one JSON object per line, to a file descriptor.
// Safe from any thread: each line is written whole, in one piece, before
// the next one starts, so lines from different threads never interleave.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "ProtocolValue.h"

namespace host {

class ProtocolWriter {
public:
    // Does not own `fd`.
    explicit ProtocolWriter(int fd) : fd_(fd) {}

    // Pipes whose reader must have taken everything written to them before
    // a message goes out. The page process names its standard output and
    // error here, so that its reader, which reads them and the messages
    // through separate pipes, sees what the page printed before a message
    // ahead of that message. A reader that does not keep up delays a
    // message by at most `patience`.
    void orderAfter(std::vector<int> pipes, std::chrono::milliseconds patience) {
        orderAfter_ = std::move(pipes);
        patience_ = patience;
    }

    // False once the reader has gone away.
    bool send(const Json& message);
    // A host message about some part of the run: {"event":"hostMessage",
    // "about":about,"message":text}.
    void event(const std::string& about, const std::string& text);

private:
    std::mutex mutex_;
    int fd_;
    std::vector<int> orderAfter_;
    std::chrono::milliseconds patience_{0};
};

// Writes all of `bytes` to `fd` (base::writeAll for text); false on error.
bool writeAll(int fd, std::string_view bytes);

}  // namespace host
