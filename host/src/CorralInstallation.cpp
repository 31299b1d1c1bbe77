#include "CorralInstallation.h"

#include <algorithm>
#include <fstream>

#ifndef CORRAL_VERSION
#define CORRAL_VERSION "unknown"
#endif
#ifndef CORRAL_INSTALL_INCLUDEDIR
#define CORRAL_INSTALL_INCLUDEDIR "include"
#endif
#ifndef CORRAL_INSTALL_LIBDIR
#define CORRAL_INSTALL_LIBDIR "lib"
#endif

namespace host {

namespace fs = std::filesystem;

namespace {
const char* const libraryNames[] = {"libCorral.so", "libCorralPlatformBase.so",
                                    "libCorralPlatformUI.so", "libCorralPlatformDeclarative.so"};

std::optional<CorralInstallation> fromPrefix(const fs::path& prefix, std::string& error) {
    CorralInstallation installation;
    installation.version = CORRAL_VERSION;
    fs::path include = prefix / CORRAL_INSTALL_INCLUDEDIR;
    std::error_code ec;
    if (!fs::is_regular_file(include / "Corral" / "Corral.h", ec)) {
        error = "the Corral headers are not in " + include.string();
        return std::nullopt;
    }
    installation.includeDirs.push_back(include);
    for (const char* name : libraryNames) {
        fs::path library = prefix / CORRAL_INSTALL_LIBDIR / name;
        if (!fs::exists(library, ec)) {
            error = "the Corral library " + library.string() + " is missing";
            return std::nullopt;
        }
        installation.libraries.push_back(library);
    }
    return installation;
}
}  // namespace

fs::path executableFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

std::optional<CorralInstallation> CorralInstallation::fromBuildTree(const fs::path& file,
                                                                    std::string& error) {
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    CorralInstallation installation;
    installation.version = CORRAL_VERSION;
    for (std::string line; std::getline(in, line);) {
        if (line.size() <= 8) continue;  // an entry that is empty in a build tree
        auto& list =
            line.rfind("include ", 0) == 0 ? installation.includeDirs : installation.libraries;
        fs::path entry = line.substr(8);
        if (std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(entry);
    }
    if (installation.includeDirs.empty() || installation.libraries.empty()) {
        error = file.string() + " names no include folder or no library";
        return std::nullopt;
    }
    return installation;
}

std::optional<CorralInstallation> CorralInstallation::find(const std::string& prefix,
                                                           std::string& error) {
    if (!prefix.empty()) return fromPrefix(prefix, error);
    if (const char* configured = std::getenv("CORRAL_PREFIX"); configured && *configured)
        return fromPrefix(configured, error);
    fs::path folder = executableFolder();
    std::error_code ec;
    if (fs::exists(folder / "corral-build-tree", ec))
        return fromBuildTree(folder / "corral-build-tree", error);
    return fromPrefix(folder.parent_path(), error);
}

}  // namespace host
