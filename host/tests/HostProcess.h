#pragma once
// Runs the built corral-host as a learner's environment would, through the
// shell, and collects its transcript (standard output and error).
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

struct HostRun {
    int status = -1;  // the host's exit status; -1 when it did not exit (a crash)
    std::string out;
    int filterStatus = -1;  // of the filter, for runHostThrough
};

// Runs `command` (shell text) and collects its standard output.
inline HostRun runShell(const std::string& command) {
    HostRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// `arguments` is shell text.
inline HostRun runHost(const std::string& arguments) {
    return runShell(std::string(CORRAL_HOST) + " " + arguments + " 2>&1");
}

// Runs the host with its standard output kept aside, then `filter` (shell
// text) with that output as its standard input. `status` is the host's own,
// not the filter's, so a host that crashes fails however well the filter
// copes; `out` holds what the host wrote to standard error, then what the
// filter wrote.
inline HostRun runHostThrough(const std::string& arguments, const std::string& filter) {
    const auto kept = std::filesystem::temp_directory_path() /
                      ("corral-host-output-" + std::to_string(::getpid()));
    HostRun run =
        runShell(std::string(CORRAL_HOST) + " " + arguments + " 2>&1 >'" + kept.string() + "'");
    HostRun filtered = runShell(filter + " <'" + kept.string() + "' 2>&1");
    std::filesystem::remove(kept);
    run.out += filtered.out;
    run.filterStatus = filtered.status;
    return run;
}

inline std::string testPage(const char* name) {
    return std::string(TEST_PAGES_DIR) + "/" + name + ".so";
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A fresh copy of a page document in a folder of its own, removed at the end.
class DocumentCopy {
public:
    DocumentCopy(const std::string& source, const std::string& tag) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("corral-host-test-" + tag + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::copy(source, path(), std::filesystem::copy_options::recursive);
    }
    ~DocumentCopy() { std::filesystem::remove_all(folder_); }
    std::filesystem::path path() const { return folder_ / "Doc.paddock"; }
    std::filesystem::path store() const { return path() / "KeyValueStore.plist"; }

private:
    std::filesystem::path folder_;
};
