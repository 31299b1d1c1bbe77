#include "PageCompiler.h"

#include "Corral/base/FileSystem.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

namespace host {

namespace fs = std::filesystem;

namespace {

// FNV-1a over 128 bits: a stable key for the cache (not a security measure).
class ContentKey {
public:
    void add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            state_ ^= c;
            state_ *= prime();
        }
        // Separates the fields, so "ab"+"c" and "a"+"bc" differ.
        std::string length = std::to_string(bytes.size()) + "\x1f";
        for (unsigned char c : length) {
            state_ ^= c;
            state_ *= prime();
        }
    }
    std::string hex() const {
        static const char digits[] = "0123456789abcdef";
        std::string out;
        for (int shift = 124; shift >= 0; shift -= 4) out += digits[(state_ >> shift) & 15];
        return out;
    }

private:
    __extension__ typedef unsigned __int128 Word;
    static Word prime() { return (Word(1) << 88) + 0x13B; }
    Word state_ = (Word(0x6c62272e07bb0142ULL) << 64) | 0x62b821756295c58dULL;
};

struct ProcessOutput {
    bool started = false;
    bool stopped = false;  // `stopRequested` answered true: the process was killed
    int status = -1;
    std::string output;  // standard output and error together
};

// How often a running compiler is asked whether to stop.
constexpr int kStopPollMilliseconds = 20;

// Runs `argv` in `folder` and collects what it writes. The process leads a
// process group of its own, so that what it starts in turn (a compiler
// driver starts the compiler proper, the assembler and the linker) can be
// killed with it: while it runs, `stopRequested` (when given) is asked every
// few milliseconds, and a true answer kills the whole group at once.
ProcessOutput runProcess(const std::vector<std::string>& argv, const fs::path& folder,
                         const std::function<bool()>& stopRequested = {}) {
    ProcessOutput result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return result;
    }
    if (pid == 0) {
        setpgid(0, 0);
        // A host killed outright takes its compiler with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also here, so that a stop at once reaches the group
    close(pipeFds[1]);
    char buffer[8192];
    for (;;) {
        pollfd readable{pipeFds[0], POLLIN, 0};
        int ready = poll(&readable, 1, stopRequested ? kStopPollMilliseconds : -1);
        if (ready < 0 && errno != EINTR) break;
        if (stopRequested && stopRequested()) {
            kill(-pid, SIGKILL);
            result.stopped = true;
            break;
        }
        if (ready <= 0) continue;
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            result.output.append(buffer, std::size_t(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

bool isExecutable(const fs::path& path) {
    return access(path.c_str(), X_OK) == 0 && !fs::is_directory(path);
}

std::optional<std::string> inPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        if (isExecutable(name)) return name;
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        fs::path candidate = fs::path(folder) / name;
        if (isExecutable(candidate)) return candidate.string();
    }
    return std::nullopt;
}

std::string displayPath(std::string file, const std::vector<fs::path>& includeDirs) {
    if (file.rfind("./", 0) == 0) file.erase(0, 2);
    for (const auto& dir : includeDirs) {
        std::string prefix = dir.string();
        if (!prefix.empty() && prefix.back() != '/') prefix += '/';
        if (file.rfind(prefix, 0) == 0) return file.substr(prefix.size());
    }
    return file;
}

}  // namespace

PageCompiler::PageCompiler(CorralInstallation corral, std::string compiler, fs::path cacheFolder)
    : corral_(std::move(corral)),
      requestedCompiler_(std::move(compiler)),
      cacheFolder_(std::move(cacheFolder)) {}

fs::path PageCompiler::defaultCacheFolder() {
    if (const char* dir = std::getenv("CORRAL_CACHE_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        return fs::path(xdg) / "corral" / "pages";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".cache" / "corral" / "pages";
    return fs::temp_directory_path() / ("corral-" + std::to_string(getuid())) / "pages";
}

std::optional<std::string> PageCompiler::compilerVersion(const std::string& compiler) {
    // Asking a compiler for its version takes tens of milliseconds, most of
    // a cached run's start: the answer is kept in the cache, under the
    // identity of the program file the compiler's path leads to.
    std::error_code ec;
    fs::path program = fs::canonical(compiler, ec);
    ContentKey identity;
    identity.add(ec ? compiler : program.string());
    identity.add(std::to_string(fs::file_size(program, ec)));
    identity.add(std::to_string(fs::last_write_time(program, ec).time_since_epoch().count()));
    fs::path noted = cacheFolder_ / "compilers" / identity.hex();
    if (auto known = readTextFile(noted); known && !known->empty()) return *known;

    auto version = runProcess({compiler, "--version"}, {});
    if (!version.started || version.status != 0) return std::nullopt;
    std::string line = version.output.substr(0, version.output.find('\n'));
    if (line.empty()) line = "unknown";
    fs::create_directories(noted.parent_path(), ec);
    if (!ec) {
        // Written whole or not at all: several runs may share the cache.
        base::writeFileAtomically(
            noted.string(),
            std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
    }
    return line;
}

std::optional<std::string> PageCompiler::locateCompiler(std::string& problem) {
    if (!compiler_.empty()) return compiler_;
    std::vector<std::string> candidates;
    if (!requestedCompiler_.empty()) {
        candidates.push_back(requestedCompiler_);
    } else {
        if (const char* cxx = std::getenv("CXX"); cxx && *cxx) candidates.emplace_back(cxx);
        candidates.insert(candidates.end(), {"c++", "g++", "clang++"});
    }
    for (const auto& candidate : candidates) {
        auto found = inPath(candidate);
        if (!found) continue;
        auto version = compilerVersion(*found);
        if (!version) continue;
        compiler_ = *found;
        compilerVersion_ = *version;
        return compiler_;
    }
    problem = requestedCompiler_.empty()
                  ? "no C++ compiler was found (looked for $CXX, c++, g++ and clang++): install "
                    "one to run pages from their sources, for example with \"apt-get install g++\""
                  : "the C++ compiler " + requestedCompiler_ +
                        " cannot be run: install it or name another with --compiler";
    return std::nullopt;
}

std::vector<std::string> PageCompiler::flags() const {
    std::vector<std::string> flags = {"-std=c++20",
                                      "-shared",
                                      "-fPIC",
                                      "-fvisibility=hidden",
                                      "-O1",
                                      "-Wall",
                                      "-fdiagnostics-color=never",
                                      "-fno-diagnostics-show-caret",
                                      "-fmessage-length=0",
                                      "-Wl,--no-undefined"};
    for (const auto& dir : corral_.includeDirs) {
        flags.push_back("-isystem");
        flags.push_back(dir.string());
    }
    for (const auto& library : corral_.libraries)
        flags.push_back("-Wl,-rpath," + library.parent_path().string());
    return flags;
}

CompileResult PageCompiler::compile(const PageDocument& document,
                                    const std::function<bool()>& stopRequested) {
    CompileResult result;
    auto compiler = locateCompiler(result.problem);
    if (!compiler) return result;

    std::vector<fs::path> sources = {document.page().file};
    for (const auto& path : document.moduleSourcePaths()) sources.push_back(path);

    ContentKey key;
    key.add("corral page module 1");
    key.add(corral_.version);
    key.add(*compiler);
    key.add(compilerVersion_);
    for (const auto& flag : flags()) key.add(flag);
    std::error_code ec;
    for (const auto& library : corral_.libraries) {
        key.add(library.string());
        key.add(std::to_string(fs::file_size(library, ec)));
        key.add(std::to_string(fs::last_write_time(library, ec).time_since_epoch().count()));
    }
    // Headers of the user modules count too: every file of every module.
    std::vector<fs::path> hashed = {document.page().file};
    for (const auto& module : document.moduleNames())
        for (const auto& file : document.sourceFiles(module))
            hashed.push_back(fs::path("Modules") / module / file);
    for (const auto& path : hashed) {
        key.add(path.string());
        key.add(readTextFile(document.folder() / path).value_or(std::string()));
    }

    fs::create_directories(cacheFolder_, ec);
    result.module = cacheFolder_ / (key.hex() + ".so");
    if (fs::exists(result.module, ec)) {
        result.outcome = CompileResult::Outcome::compiled;
        result.cached = true;
        return result;
    }

    fs::path temporary =
        cacheFolder_ / ("." + key.hex() + "." + std::to_string(getpid()) + ".so.tmp");
    std::vector<std::string> argv = {*compiler};
    for (const auto& flag : flags()) argv.push_back(flag);
    for (const auto& module : document.moduleNames()) {
        argv.push_back("-iquote");
        argv.push_back((fs::path("Modules") / module).string());
    }
    for (const auto& source : sources) argv.push_back(source.string());
    argv.push_back("-o");
    argv.push_back(fs::absolute(temporary, ec).string());
    for (const auto& library : corral_.libraries) argv.push_back(library.string());

    auto run = runProcess(argv, document.folder(), stopRequested);
    if (run.stopped) {
        fs::remove(temporary, ec);
        result.outcome = CompileResult::Outcome::stopped;
        return result;
    }
    if (!run.started) {
        result.problem = "the C++ compiler " + *compiler + " could not be started";
        return result;
    }
    auto includeDirs = corral_.includeDirs;
    includeDirs.push_back(fs::absolute(document.folder(), ec));
    result.diagnostics = parseDiagnostics(run.output, includeDirs);
    if (run.status != 0) {
        fs::remove(temporary, ec);
        result.outcome = CompileResult::Outcome::failed;
        bool anyError = false;
        for (const auto& d : result.diagnostics) anyError |= d.severity == "error";
        if (!anyError)
            result.diagnostics.push_back({"", 0, 0, "error", "the page could not be compiled"});
        return result;
    }
    fs::rename(temporary, result.module, ec);
    if (ec) {
        fs::remove(temporary, ec);
        result.problem =
            "the compiled page cannot be kept in " + cacheFolder_.string() + ": " + ec.message();
        return result;
    }
    result.outcome = CompileResult::Outcome::compiled;
    return result;
}

std::vector<Diagnostic> PageCompiler::parseDiagnostics(std::string_view output,
                                                       const std::vector<fs::path>& includeDirs) {
    static const std::regex located(
        R"(^(.+?):(\d+):(?:(\d+):)? (fatal error|error|warning|note): (.*)$)");
    static const std::regex unresolved(
        R"((?:(\S+?\.(?:cpp|cc|cxx|h|hpp)):\S*: )?((?:undefined reference to|multiple definition of) .*)$)");
    std::vector<Diagnostic> diagnostics;
    std::istringstream lines{std::string(output)};
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, located)) {
            Diagnostic d;
            d.file = displayPath(m[1].str(), includeDirs);
            d.line = std::stoi(m[2].str());
            d.column = m[3].matched ? std::stoi(m[3].str()) : 0;
            d.severity = m[4].str() == "fatal error" ? "error" : m[4].str();
            d.message = m[5].str();
            diagnostics.push_back(std::move(d));
        } else if (std::regex_search(line, m, unresolved)) {
            Diagnostic d;
            d.file = m[1].matched ? displayPath(m[1].str(), includeDirs) : "";
            d.severity = "error";
            d.message = m[2].str();
            diagnostics.push_back(std::move(d));
        }
    }
    return diagnostics;
}

}  // namespace host
