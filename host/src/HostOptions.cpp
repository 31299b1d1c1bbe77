#include "HostOptions.h"

#include <cmath>
#include <map>

namespace host {

std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& arguments,
                                            std::string& error) {
    static const std::map<std::string, std::string> modes = {
        {"run", "setExecutionModeToRun"},
        {"runFaster", "setExecutionModeToRunFaster"},
        {"runFastest", "setExecutionModeToRunFastest"},
        {"step", "setExecutionModeToStep"},
        {"stepSlowly", "setExecutionModeToStepSlowly"},
    };
    HostOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--mode") {
            auto mode = value();
            if (!mode) return std::nullopt;
            auto it = modes.find(*mode);
            if (it == modes.end()) {
                error = "unknown execution mode '" + *mode + "'";
                return std::nullopt;
            }
            options.modeSelector = it->second;
        } else if (arg == "--timeout") {
            auto text = value();
            if (!text) return std::nullopt;
            char* end = nullptr;
            double seconds = std::strtod(text->c_str(), &end);
            if (text->empty() || *end || !std::isfinite(seconds) || seconds < 0) {
                error = "--timeout takes a number of seconds, not '" + *text + "'";
                return std::nullopt;
            }
            options.timeoutSeconds = seconds;
        } else if (arg == "--live-view") {
            auto app = value();
            if (!app) return std::nullopt;
            options.liveViewApplication = *app;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        error = "expected a page module and a document";
        return std::nullopt;
    }
    options.pageModule = positional[0];
    options.document = positional[1];
    return options;
}

}  // namespace host
