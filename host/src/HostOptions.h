#pragma once
// The host's command line.

#include <optional>
#include <string>
#include <vector>

namespace host {

struct HostOptions {
    bool json = false;
    // The bridge entry that sets the execution mode, such as "setExecutionModeToStep".
    std::string modeSelector = "setExecutionModeToRun";
    // Seconds a page that asked to keep running may run; none: no limit.
    std::optional<double> timeoutSeconds;
    std::string liveViewApplication;  // empty: no live view process
    std::string pageModule;
    std::string document;
};

inline constexpr const char* hostUsage =
    "usage: corral-host [--json] [--mode run|runFaster|runFastest|step|stepSlowly]\n"
    "                   [--timeout SECONDS] [--live-view APP] PAGE-MODULE DOCUMENT\n";

// Parses the arguments after the program name; on failure returns nothing
// and says why in `error`.
std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& arguments,
                                            std::string& error);

}  // namespace host
