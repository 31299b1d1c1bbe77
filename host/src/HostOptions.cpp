#include "HostOptions.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

#include <CLI/CLI.hpp>

#ifndef CORRAL_VERSION
#define CORRAL_VERSION "unknown"
#endif

namespace host {

namespace {

const char* const usageLine =
    "usage: corral-host [options] [PAGE-MODULE] DOCUMENT\n"
    "       corral-host --protocol [options] [PAGE-MODULE] DOCUMENT\n"
    "       corral-host serve [--port PORT] [--host ADDRESS] [options] DOCUMENT\n";

const char* const serveUsageLine =
    "usage: corral-host serve [--port PORT] [--host ADDRESS] [options] DOCUMENT\n";

// What a studio run may use when the command line does not say.
const ResourceLimits studioLimits = {30, 1024, 256, ResourceLimits{}.consoleBytes};

const CLI::Validator nonNegative(
    [](std::string& text) -> std::string {
        double value = 0;
        if (!CLI::detail::lexical_cast(text, value) || std::isnan(value) || value < 0)
            return "takes a number that is not negative, not '" + text + "'";
        return {};
    },
    "NUMBER", "non-negative");

// `serve` and its own options. The run options stay the main command's and
// may follow `serve` too.
void addServe(CLI::App& app, ServeOptions& serve) {
    auto* command = app.add_subcommand(
        "serve",
        "Open DOCUMENT in the studio, a local web server: edit, run and watch the page in\n"
        "the browser. The run options apply to every run it starts.");
    command->fallthrough();
    command->add_option("--port", serve.port, "The port to listen on (default: any free port)")
        ->check(CLI::Range(0, 65535))
        ->type_name("PORT");
    command
        ->add_option("--host", serve.address,
                     "The address to listen on (default: 127.0.0.1, the loopback address only)")
        ->type_name("ADDRESS");
}

// The help text of `app` with its own description and usage line replaced.
std::string helpWith(const CLI::App& app, const char* usage, const std::string& description) {
    std::string help = app.help();
    auto lists = help.find("Positionals:");
    if (lists == std::string::npos) lists = help.find("Options:");
    return std::string(usage) + "\n" + description + "\n\n" +
           (lists == std::string::npos ? std::string() : help.substr(lists));
}

// Builds the command line into `options`; `operands` takes the operands,
// those after `serve` too.
std::unique_ptr<CLI::App> makeParser(HostOptions& options, std::vector<std::string>& operands,
                                     std::optional<double>& timeout, ServeOptions& serve) {
    auto app = std::make_unique<CLI::App>(
        "Runs a page document: compiles its page from source (or loads a prebuilt\n"
        "PAGE-MODULE), runs it in a supervised child process and reports what it\n"
        "does, as a transcript or in the page-process protocol.",
        "corral-host");
    app->set_help_flag();  // answered by the caller
    app->add_flag("-h,--help", options.help, "Show this help and exit");
    app->add_flag("--version", options.version, "Show the version and exit");
    app->add_flag("--protocol,--json", options.protocol,
                  "Speak the page-process protocol (JSON Lines) on standard input and output");
    std::vector<std::string> modes = {"run", "runFaster", "runFastest", "step", "stepSlowly"};
    app->add_option("--mode", options.mode, "The execution mode")
        ->check(CLI::IsMember(modes))
        ->type_name("MODE");
    app->add_option("--timeout", timeout, "Stop a run after this many seconds")
        ->check(nonNegative)
        ->type_name("SECONDS");
    app->add_option("--live-view", options.liveViewApplication,
                    "Run the live view in a process of its own, started from APP")
        ->type_name("APP");
    app->add_flag("--protocol-live-view", options.liveViewOverProtocol,
                  "The protocol's reader is the page's live view (live-view messages as "
                  "events and commands)");
    app->add_option("--page", options.page, "The page to run first, by name or number from 1")
        ->type_name("PAGE");
    app->add_option("--store", options.storePath,
                    "Keep the key-value store in this file instead of the document")
        ->type_name("PATH");
    app->add_flag("--watch", options.watch, "Run the page again whenever its sources change");
    app->add_option("--compiler", options.compiler, "The C++ compiler for pages from source")
        ->type_name("PATH");
    app->add_option("--cache", options.cacheFolder, "Where compiled pages are kept")
        ->type_name("DIR");
    app->add_option("--corral-prefix", options.corralPrefix,
                    "Compile pages against the Corral installed in this prefix")
        ->type_name("DIR");
    app->add_option("--cpu-limit", options.limits.cpuSeconds,
                    "CPU seconds a run may use (0: no limit)")
        ->check(nonNegative)
        ->type_name("SECONDS");
    app->add_option("--memory-limit", options.limits.memoryMiB,
                    "Address space a run may use, in MiB (0: no limit)")
        ->check(nonNegative)
        ->type_name("MIB");
    app->add_option("--open-files-limit", options.limits.openFiles,
                    "Files a run may hold open (0: no limit)")
        ->check(nonNegative)
        ->type_name("COUNT");
    app->add_option("--console-limit", options.limits.consoleBytes,
                    "Bytes a run may print before it is stopped (0: no limit)")
        ->default_str("8388608")
        ->check(nonNegative)
        ->type_name("BYTES");
    app->add_option("operands", operands, "[PAGE-MODULE] DOCUMENT")->expected(0, 2);
    addServe(*app, serve);
    return app;
}

// The parser with the places its results go.
struct CommandLine {
    HostOptions options;
    std::vector<std::string> operands;
    std::optional<double> timeout;
    ServeOptions serve;
    std::unique_ptr<CLI::App> app = makeParser(options, operands, timeout, serve);
};

}  // namespace

std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& arguments,
                                            std::string& error) {
    CommandLine line;
    auto& [options, operands, timeout, serve, app] = line;
    // What follows "--" is operands. The parser is given only what comes
    // before it: it loses the mark when it is given after a subcommand.
    const auto mark = std::find(arguments.begin(), arguments.end(), "--");
    std::vector<std::string> reversed(std::make_reverse_iterator(mark), arguments.rend());
    try {
        app->parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    if (mark != arguments.end()) operands.insert(operands.end(), std::next(mark), arguments.end());
    if (app->got_subcommand("serve")) options.serve = serve;
    if (options.help || options.version) return options;
    if (options.serve) {
        // The studio decides the mode and the page of each run, and speaks
        // the protocol to its runs.
        for (const char* own :
             {"--protocol", "--mode", "--page", "--protocol-live-view", "--watch"}) {
            if (app->get_option(own)->count()) {
                error = std::string(own) + " is not an option of serve";
                return std::nullopt;
            }
        }
        if (operands.size() != 1) {
            error = "serve expects one document";
            return std::nullopt;
        }
        options.document = operands.front();
        options.timeoutSeconds = timeout;
        if (!app->get_option("--cpu-limit")->count())
            options.limits.cpuSeconds = studioLimits.cpuSeconds;
        if (!app->get_option("--memory-limit")->count())
            options.limits.memoryMiB = studioLimits.memoryMiB;
        if (!app->get_option("--open-files-limit")->count())
            options.limits.openFiles = studioLimits.openFiles;
        return options;
    }
    if (operands.empty() || operands.size() > 2) {
        error = "expected a document, with a page module before it if the page is prebuilt";
        return std::nullopt;
    }
    if (operands.size() == 2) options.pageModule = operands[0];
    options.document = operands.back();
    options.timeoutSeconds = timeout;
    if (options.watch && !options.pageModule.empty()) {
        error = "--watch runs pages from their sources, not a prebuilt page module";
        return std::nullopt;
    }
    return options;
}

// The generated help texts start with the description and a usage line of
// their own: both are replaced by the usage lines and the description.
std::string hostHelp() {
    CommandLine line;
    return helpWith(*line.app, usageLine, line.app->get_description());
}

std::string serveHelp() {
    CommandLine line;
    const auto* command = line.app->get_subcommand("serve");
    return helpWith(
        *command, serveUsageLine,
        command->get_description() +
            "\nRun options: --timeout, --store, --compiler, --cache, --corral-prefix, "
            "--live-view,\n"
            "--cpu-limit (default 30), --memory-limit (default 1024), --open-files-limit\n"
            "(default 256) and --console-limit; see corral-host --help.");
}

std::vector<std::string> runArguments(const HostOptions& options) {
    std::vector<std::string> arguments;
    auto add = [&](const char* name, const std::string& value) {
        if (!value.empty()) arguments.insert(arguments.end(), {name, value});
    };
    auto number = [](double value) {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text.precision(17);
        text << value;
        return text.str();
    };
    if (options.timeoutSeconds) add("--timeout", number(*options.timeoutSeconds));
    add("--store", options.storePath);
    add("--compiler", options.compiler);
    add("--cache", options.cacheFolder);
    add("--corral-prefix", options.corralPrefix);
    add("--live-view", options.liveViewApplication);
    add("--cpu-limit", number(options.limits.cpuSeconds));
    add("--memory-limit", number(options.limits.memoryMiB));
    add("--open-files-limit", number(options.limits.openFiles));
    add("--console-limit", number(options.limits.consoleBytes));
    return arguments;
}

std::string hostVersion() { return std::string("corral-host ") + CORRAL_VERSION; }

}  // namespace host
