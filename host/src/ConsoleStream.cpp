#include "ConsoleStream.h"

namespace host {

Json ConsoleStream::line(std::string text, bool partial) const {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return {
        {"event", "console"}, {"stream", stream_}, {"text", validUtf8(text)}, {"partial", partial}};
}

std::vector<Json> ConsoleStream::add(std::string_view bytes) {
    std::vector<Json> events;
    while (!bytes.empty()) {
        auto newline = bytes.find('\n');
        if (newline == std::string_view::npos) {
            pending_.append(bytes);
            break;
        }
        pending_.append(bytes.substr(0, newline));
        bytes.remove_prefix(newline + 1);
        events.push_back(line(std::move(pending_), false));
        pending_.clear();
    }
    while (pending_.size() >= maxLine) {
        // Cut before a UTF-8 continuation byte never: step back to a lead byte.
        std::size_t cut = maxLine;
        while (cut > 0 && (static_cast<unsigned char>(pending_[cut]) & 0xC0) == 0x80) --cut;
        if (cut == 0) cut = maxLine;
        events.push_back(line(pending_.substr(0, cut), true));
        pending_.erase(0, cut);
    }
    return events;
}

std::vector<Json> ConsoleStream::finish() {
    std::vector<Json> events;
    if (!pending_.empty()) events.push_back(line(std::move(pending_), true));
    pending_.clear();
    return events;
}

}  // namespace host
