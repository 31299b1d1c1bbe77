#include "Macrofill.h"

#include <sysexits.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "Corral/base/FileContents.h"
#include "Corral/base/FileSystem.h"
#include "Corral/plist/PropertyList.h"
#include "OutputFile.h"
#include "PropertyListExpansion.h"

namespace macrofill {

namespace {

constexpr std::string_view usageText =
    "Usage: macrofill [OPTION] <file>\n"
    "\n"
    "Options\n"
    "--output <file>                     The path to the output plist file.\n"
    "--build-settings <file>             The path to a plist file containing a dictionary of "
    "strings "
    "with build setting definitions.\n"
    "--use-environment                   Indicates that the environment should be used as a base "
    "level of build setting definitions.\n"
    "--help                              Print this usage information and exit.\n"
    "\n"
    "macrofill supports expanding a subset of Kiln-style build setting references (e.g. "
    "'$(BUILD_SETTING_NAME)').\n"
    "Build setting names may themselves contain references to other build settings (e.g. "
    "'$(BUILD_SETTING_NAME_$(OTHER_BUILD_SETTING))').\n"
    "macrofill does not support operators (e.g. '$(BUILD_SETTING_NAME:rfc1034identifier)'), and "
    "will not handle references containing operators correctly.\n"
    "\n"
    "An input plist file and and output plist file must be specified.\n"
    "Either a build settings plist file or --use-environment must be specified. If both are "
    "specified, the values in the build settings plist file will override those set in the "
    "environment.\n";

constexpr std::string_view standardStream = "-";

// One line on standard error: "[prefix: ]error: message".
void reportError(std::string_view message, std::optional<std::string_view> prefix = std::nullopt) {
    std::string line;
    if (prefix) {
        line += *prefix;
        line += ": ";
    }
    line += "error: ";
    line += message;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void printUsage(std::FILE* stream) {
    std::fwrite(usageText.data(), 1, usageText.size(), stream);
    std::fflush(stream);
}

struct Options {
    std::optional<std::string> input, output, buildSettings;
    bool useEnvironment = false;
};

// The process environment as definitions; the first entry of a name counts,
// as it does for getenv.
void addEnvironment(const char* const* environment, base::Dictionary::Builder& definitions) {
    std::unordered_set<std::string_view> seen;
    for (const char* const* entry = environment; entry && *entry; ++entry) {
        std::string_view text(*entry);
        auto equals = text.find('=');
        if (equals == std::string_view::npos || !seen.insert(text.substr(0, equals)).second)
            continue;
        definitions.set(std::string(text.substr(0, equals)),
                        base::String::make(std::string(text.substr(equals + 1))));
    }
}

// The build-settings file's dictionary, or nothing when it cannot be read,
// is not a property list, or its root is not a dictionary.
base::Ref<base::Dictionary> readBuildSettings(const std::string& path) {
    auto bytes = base::readFile(base::expandTildeInPath(path));
    if (!bytes) return nullptr;
    try {
        return base::cast<base::Dictionary>(base::readPropertyList(*bytes).root);
    } catch (const base::PropertyListError&) {
        return nullptr;
    }
}

// A file is mapped where it can be; standard input, a pipe or a terminal is
// read to its end.
std::optional<base::FileContents> readInput(const std::string& path) {
    if (path != standardStream) return base::FileContents::ofPath(path);
    auto contents = base::FileContents::ofDescriptor(STDIN_FILENO);
    ::close(STDIN_FILENO);
    return contents;
}

bool writeStandardOutput(const std::vector<std::uint8_t>& bytes) {
    bool written = base::writeAll(STDOUT_FILENO, bytes);
    return ::close(STDOUT_FILENO) == 0 && written;
}

}  // namespace

int runMacrofill(int argc, const char* const* argv, const char* const* environment,
                 std::vector<base::ObjectRef>& keep, const ExpansionThreads& threads) {
    // A closed pipe on standard output is reported as a failed write.
    std::signal(SIGPIPE, SIG_IGN);

    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--output" || argument == "--build-settings") {
            if (i + 1 == argc) {
                reportError(std::string(argument) + " argument specified without a value");
                printUsage(stderr);
                return EX_USAGE;
            }
            (argument == "--output" ? options.output : options.buildSettings) = argv[++i];
        } else if (argument == "--use-environment") {
            options.useEnvironment = true;
        } else if (argument == "--help") {
            printUsage(stdout);
            return EX_OK;
        } else if (options.input) {
            reportError("only one input file may be specified");
            return EX_USAGE;
        } else {
            options.input = argument;
        }
    }
    bool usageError = false;
    if (!options.input) {
        reportError("an input file must be specified");
        usageError = true;
    }
    if (!options.output) {
        reportError("an output file must be specified with --output");
        usageError = true;
    }
    if (!options.buildSettings && !options.useEnvironment) {
        reportError("either --build-settings or --use-environment must be specified");
        usageError = true;
    }
    if (usageError) {
        printUsage(stderr);
        return EX_USAGE;
    }

    base::Dictionary::Builder builder;
    if (options.useEnvironment) addEnvironment(environment, builder);
    if (options.buildSettings) {
        auto settings = readBuildSettings(*options.buildSettings);
        if (!settings) {
            reportError("unable to open build settings file for reading", *options.buildSettings);
            return EX_DATAERR;
        }
        for (const auto& [name, value] : *settings) builder.set(name, value);
    }
    auto definitions = builder.build();

    auto input = readInput(*options.input);
    if (!input) {
        reportError("unable to open input file for reading", *options.input);
        return EX_IOERR;
    }
    // A file is written as the list is produced; standard output only gets
    // the list once it is known to be complete.
    std::optional<OutputFile> file;
    if (*options.output != standardStream) file.emplace(*options.output);
    PropertyListExpansion expansion =
        expandPropertyList(input->bytes(), *definitions, keep, file ? &*file : nullptr, threads);
    input->release();
    switch (expansion.outcome) {
        case PropertyListExpansion::Outcome::invalidInput:
            reportError("input file is not a valid property list", *options.input);
            return EX_DATAERR;
        case PropertyListExpansion::Outcome::expansionFailed:
            // Named like the input's other failures, with the place of the
            // string that could not be expanded.
            reportError(expansion.failurePath.empty()
                            ? expansion.failure
                            : expansion.failure + " (at " + expansion.failurePath.text() + ")",
                        *options.input);
            return EX_DATAERR;
        case PropertyListExpansion::Outcome::notWritable:
            reportError("unknown error occurred while expanding build settings");
            return EX_SOFTWARE;
        case PropertyListExpansion::Outcome::expanded:
            break;
    }
    if (file ? !file->commit() : !writeStandardOutput(expansion.bytes)) {
        reportError("failed to write to output file");
        return EX_IOERR;
    }
    return EX_OK;
}

}  // namespace macrofill
