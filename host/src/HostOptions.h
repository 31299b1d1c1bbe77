#pragma once
// The host's command line.

#include <optional>
#include <string>
#include <vector>

namespace host {

// What a page process may use; 0 means no limit.
struct ResourceLimits {
    double cpuSeconds = 0;
    double memoryMiB = 0;
    double openFiles = 0;
    // Bytes the page may write to its standard output and error together in
    // one run; a page that writes more is stopped.
    double consoleBytes = 8 * 1024 * 1024;
};

struct HostOptions {
    bool protocol = false;  // JSON Lines on standard input and output
    std::string mode = "run";
    // Seconds a run may take; none: no limit.
    std::optional<double> timeoutSeconds;
    std::string liveViewApplication;    // empty: no live view process
    bool liveViewOverProtocol = false;  // the protocol's reader is the live view
    std::string pageModule;             // empty: compile the page from its sources
    std::string document;
    std::string page;       // the page to run first, by name or number from 1; empty: the first
    std::string storePath;  // empty: the document's own store file
    bool watch = false;
    std::string compiler;
    std::string cacheFolder;
    std::string corralPrefix;
    ResourceLimits limits;

    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; on failure returns nothing
// and says why in `error`. For --help and --version the result has `help`
// or `version` set and nothing else needs to hold.
std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& arguments,
                                            std::string& error);

// The text --help shows, starting with the usage line.
std::string hostHelp();
// "corral-host <version>".
std::string hostVersion();

}  // namespace host
