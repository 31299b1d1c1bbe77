#include "Transcript.h"

#include "JsonWriter.h"

namespace host {

void Transcript::writeLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void Transcript::console(const std::string& text) {
    if (format_ == Format::json) {
        writeLine("{\"event\":\"console\",\"text\":" + jsonString(text) + "}");
        return;
    }
    // Page output is shown line by line, each marked as page output.
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            writeLine("page | " + line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) writeLine("page | " + line);
}

void Transcript::notification(const base::Notification& n) {
    std::string info = n.userInfo ? toJson(n.userInfo) : "null";
    if (format_ == Format::json) {
        writeLine("{\"event\":\"notification\",\"name\":" + jsonString(n.name) +
                  ",\"sender\":" + jsonString(n.object ? n.object->className() : "") +
                  ",\"userInfo\":" + info + "}");
    } else {
        writeLine("host | " + n.name + (n.userInfo ? " " + info : ""));
    }
}

void Transcript::event(const std::string& kind, const std::string& detail) {
    if (format_ == Format::json) {
        writeLine("{\"event\":" + jsonString(kind) + ",\"detail\":" + jsonString(detail) + "}");
    } else {
        writeLine("host | " + kind + (detail.empty() ? "" : ": " + detail));
    }
}

void Transcript::flush() {
    std::lock_guard lock(mutex_);
    std::fflush(out_);
}

}  // namespace host
