#include "DocumentFiles.h"

#include <algorithm>
#include <span>

#include "Corral/base/FileSystem.h"

namespace studio {

namespace {

bool isPlainName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isSourceName(const std::string& name) {
    for (const char* extension : {".cpp", ".h", ".hpp", ".cc", ".c"}) {
        const std::string e = extension;
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0)
            return true;
    }
    return false;
}

std::string readText(const std::filesystem::path& path) {
    auto bytes = base::readFile(path.string());
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

}  // namespace

std::vector<SourceFile> DocumentFiles::list() const {
    std::vector<SourceFile> files;
    files.push_back({"", "Page.cpp", readText(folder_ / "Page.cpp")});
    std::error_code ec;
    std::vector<SourceFile> modules;
    for (const auto& module : std::filesystem::directory_iterator(folder_ / "Modules", ec)) {
        const std::string moduleName = module.path().filename().string();
        if (module.is_symlink(ec) || !module.is_directory(ec) || !isPlainName(moduleName)) continue;
        for (const auto& file : std::filesystem::directory_iterator(module.path(), ec)) {
            const std::string fileName = file.path().filename().string();
            if (!file.is_symlink(ec) && file.is_regular_file(ec) && isPlainName(fileName) &&
                isSourceName(fileName))
                modules.push_back({moduleName, fileName, readText(file.path())});
        }
    }
    std::sort(modules.begin(), modules.end(), [](const SourceFile& a, const SourceFile& b) {
        return std::tie(a.module, a.name) < std::tie(b.module, b.name);
    });
    files.insert(files.end(), modules.begin(), modules.end());
    return files;
}

std::optional<std::filesystem::path> DocumentFiles::pathFor(const std::string& module,
                                                            const std::string& name,
                                                            std::string& error) const {
    if (module.empty()) {
        if (name == "Page.cpp") return folder_ / "Page.cpp";
        error = "the page's own file is Page.cpp";
        return std::nullopt;
    }
    if (!isPlainName(module) || !isPlainName(name) || !isSourceName(name)) {
        error = "not a source file of a user module: " + module + "/" + name;
        return std::nullopt;
    }
    std::error_code ec;
    const auto moduleFolder = folder_ / "Modules" / module;
    if (!std::filesystem::is_directory(moduleFolder, ec) ||
        std::filesystem::is_symlink(moduleFolder, ec)) {
        error = "no user module named " + module;
        return std::nullopt;
    }
    return moduleFolder / name;
}

bool DocumentFiles::save(const std::string& module, const std::string& name,
                         const std::string& text, std::string& error) const {
    const auto path = pathFor(module, name, error);
    if (!path) return false;
    std::error_code ec;
    if (std::filesystem::is_symlink(*path, ec)) {
        error = "refusing to write through a symbolic link: " + name;
        return false;
    }
    if (!base::writeFileAtomically(
            path->string(),
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))) {
        error = "could not save " + name;
        return false;
    }
    return true;
}

}  // namespace studio
