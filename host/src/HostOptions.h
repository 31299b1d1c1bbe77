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

// `corral-host serve`: the studio's web server.
struct ServeOptions {
    std::string address = "127.0.0.1";  // loopback only unless told otherwise
    int port = 0;                       // 0: any free port
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
    // Set for `corral-host serve DOCUMENT`; the run options given with it
    // apply to every run the studio starts.
    std::optional<ServeOptions> serve;

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
// The text `corral-host serve --help` shows.
std::string serveHelp();
// The options a run the studio starts gets: the run options of `options`
// as arguments of corral-host.
std::vector<std::string> runArguments(const HostOptions& options);
// "corral-host <version>".
std::string hostVersion();

}  // namespace host
