#pragma once
// Where the Corral that corral-host ships with keeps its headers and
// libraries, so that pages can be compiled against it.
//
// Found relative to the corral-host executable: in a build tree, CMake
// writes a file "corral-build-tree" beside it that lists the tree's include
// folders and libraries; in an installed prefix the headers are in
// <prefix>/include and the libraries in <prefix>/lib (the configured
// library folder). A prefix given explicitly (option or CORRAL_PREFIX)
// wins over both.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct CorralInstallation {
    std::vector<std::filesystem::path> includeDirs;
    // The shared libraries a page module links, Corral first.
    std::vector<std::filesystem::path> libraries;
    std::string version;

    // The installation this executable belongs to; nothing, with the reason
    // in `error`, when its headers cannot be found.
    static std::optional<CorralInstallation> find(const std::string& prefix, std::string& error);
    // Reads a build tree's description (one "include <dir>" or "library
    // <file>" per line).
    static std::optional<CorralInstallation> fromBuildTree(const std::filesystem::path& file,
                                                           std::string& error);
};

// The folder that holds the running executable.
std::filesystem::path executableFolder();

}  // namespace host
