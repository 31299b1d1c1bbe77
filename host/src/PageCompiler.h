#pragma once
// Compiles a page of a document, with the learner's user modules, into a
// page module, using the machine's C++ compiler against the Corral that
// corral-host ships with.
//
// Modules are cached in a folder by a key over everything that goes into
// them: the text and names of the page and of every user-module file, the
// compiler and its version, the flags, Corral's version and its libraries'
// sizes and times. A second run of unchanged code finds its module at once.
// A module is compiled to a temporary name and renamed into place, so a
// cache shared by several runs never holds a torn one.
//
// The compiler runs in the document's folder on the paths the document
// gives its files ("Page.cpp", "Modules/Greeter/Greeter.cpp"), so its
// messages name the learner's files as the learner knows them; headers of
// Corral are named as they are included ("Corral/Corral.h").

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CorralInstallation.h"
#include "PageDocument.h"

namespace host {

struct Diagnostic {
    std::string file;      // empty when the message belongs to no file (a link error)
    int line = 0;          // 0: none
    int column = 0;        // 0: none
    std::string severity;  // "error", "warning" or "note"
    std::string message;
};

struct CompileResult {
    // stopped: the caller asked to stop while the compiler ran.
    enum class Outcome { compiled, failed, unavailable, stopped };
    Outcome outcome = Outcome::unavailable;
    bool cached = false;
    std::filesystem::path module;
    std::vector<Diagnostic> diagnostics;  // the learner's errors and warnings
    std::string problem;                  // for `unavailable`: what is missing, in a sentence
};

class PageCompiler {
public:
    // `compiler` empty: $CXX, else c++, g++ or clang++ from the PATH.
    PageCompiler(CorralInstallation corral, std::string compiler,
                 std::filesystem::path cacheFolder);

    // While the compiler runs, `stopRequested` (when given) is asked every
    // few milliseconds; a true answer kills the compiler and everything it
    // started at once, and the result is `stopped`.
    CompileResult compile(const PageDocument& document,
                          const std::function<bool()>& stopRequested = {});

    // The cache folder to use when none is given: $CORRAL_CACHE_DIR, else
    // $XDG_CACHE_HOME/corral/pages, else ~/.cache/corral/pages.
    static std::filesystem::path defaultCacheFolder();
    // Reads a compiler's messages; paths below `includeDirs` become the
    // path they are included by.
    static std::vector<Diagnostic> parseDiagnostics(
        std::string_view output, const std::vector<std::filesystem::path>& includeDirs);

private:
    // The compiler's path, or nothing with the reason in `problem`.
    std::optional<std::string> locateCompiler(std::string& problem);
    // The first line of the compiler's --version, noted in the cache; nothing
    // when it cannot be run.
    std::optional<std::string> compilerVersion(const std::string& compiler);
    std::vector<std::string> flags() const;

    CorralInstallation corral_;
    std::string requestedCompiler_;
    std::filesystem::path cacheFolder_;
    std::string compiler_;         // found on first use
    std::string compilerVersion_;  // its first line of --version
};

}  // namespace host
