#pragma once
// What the host reports while a page runs, as it happens: page output,
// every notification the page or the store posts, and host events. Either a
// readable transcript or one JSON object per line. Lines are written whole
// and flushed at once, so a transcript survives the process ending abruptly.

#include <cstdio>
#include <mutex>
#include <string>

#include "Corral/base/NotificationCenter.h"

namespace host {

class Transcript {
public:
    enum class Format { text, json };
    Transcript(std::FILE* out, Format format) : out_(out), format_(format) {}

    void console(const std::string& text);
    void notification(const base::Notification& notification);
    // A host event such as "started", "finished" or an error, with details.
    void event(const std::string& kind, const std::string& detail);
    void flush();

private:
    void writeLine(const std::string& line);
    std::mutex mutex_;
    std::FILE* out_;
    Format format_;
};

}  // namespace host
