#include "TextTranscript.h"

namespace host {

void TextTranscript::line(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void TextTranscript::render(const Json& event) {
    const std::string kind = event.value("event", "");
    if (kind == "console") {
        line((event.value("stream", "") == "stderr" ? "page ! " : "page | ") +
             event.value("text", ""));
        return;
    }
    if (kind == "compileError") {
        for (const auto& d : event.value("diagnostics", Json::array())) {
            std::string where = d["file"].is_string() ? d["file"].get<std::string>() + ":" : "";
            if (d["line"].is_number()) where += std::to_string(d["line"].get<int>()) + ":";
            if (d["column"].is_number()) where += std::to_string(d["column"].get<int>()) + ":";
            line((where.empty() ? "" : where + " ") + d.value("severity", "error") + ": " +
                 d.value("message", ""));
        }
        if (event.contains("problem")) line("host | " + event.value("problem", ""));
        return;
    }
    if (kind == "ended") {
        line("host | ended (" + event.value("cause", "") + "): " + event.value("message", ""));
        return;
    }
    if (kind == "hostMessage") {
        line("host | " + event.value("about", "") + ": " + event.value("message", ""));
        return;
    }
    if (kind == "liveView") {
        line("host | liveView " + std::to_string(event.value("width", 0.0)) + " x " +
             std::to_string(event.value("height", 0.0)) +
             (event.value("fullScreen", false) ? " full screen" : ""));
        return;
    }
    Json rest = event;
    rest.erase("event");
    line("host | " + kind + (rest.empty() ? "" : " " + protocolLine(rest)));
}

}  // namespace host
