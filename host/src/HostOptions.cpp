#include "HostOptions.h"

#include <algorithm>
#include <cmath>

#include <CLI/CLI.hpp>

#ifndef CORRAL_VERSION
#define CORRAL_VERSION "unknown"
#endif

namespace host {

namespace {

const char* const usageLine =
    "usage: corral-host [options] [PAGE-MODULE] DOCUMENT\n"
    "       corral-host --protocol [options] [PAGE-MODULE] DOCUMENT\n";

const CLI::Validator nonNegative(
    [](std::string& text) -> std::string {
        double value = 0;
        if (!CLI::detail::lexical_cast(text, value) || std::isnan(value) || value < 0)
            return "takes a number that is not negative, not '" + text + "'";
        return {};
    },
    "NUMBER", "non-negative");

// Builds the command line into `options`; `operands` takes the operands.
std::unique_ptr<CLI::App> makeParser(HostOptions& options, std::vector<std::string>& operands,
                                     std::optional<double>& timeout) {
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
    return app;
}

}  // namespace

std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& arguments,
                                            std::string& error) {
    HostOptions options;
    std::vector<std::string> operands;
    std::optional<double> timeout;
    auto app = makeParser(options, operands, timeout);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app->parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    if (options.help || options.version) return options;
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

std::string hostHelp() {
    HostOptions options;
    std::vector<std::string> operands;
    std::optional<double> timeout;
    auto app = makeParser(options, operands, timeout);
    std::string help = app->help();
    // The generated text starts with the description and a usage line of
    // its own: both are replaced by the usage lines and the description.
    auto lists = help.find("Positionals:");
    if (lists == std::string::npos) lists = help.find("Options:");
    return std::string(usageLine) + "\n" + app->get_description() + "\n\n" +
           (lists == std::string::npos ? std::string() : help.substr(lists));
}

std::string hostVersion() { return std::string("corral-host ") + CORRAL_VERSION; }

}  // namespace host
