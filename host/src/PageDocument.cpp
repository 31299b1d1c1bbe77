#include "PageDocument.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace host {

namespace fs = std::filesystem;

std::optional<std::string> readTextFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ifstream::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {
std::vector<std::string> entries(const fs::path& folder, bool wantFolders) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!isPlainName(name)) continue;
        bool isFolder = it->is_directory(ec);
        if (isFolder == wantFolders && (isFolder || it->is_regular_file(ec))) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

bool isPlainName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

namespace {
// "02-Loops" -> "Loops"; a name that is only a number keeps it.
std::string pageName(const std::string& folder) {
    std::size_t digits = 0;
    while (digits < folder.size() && folder[digits] >= '0' && folder[digits] <= '9') ++digits;
    if (digits > 0 && digits + 1 < folder.size() && folder[digits] == '-')
        return folder.substr(digits + 1);
    return folder;
}
}  // namespace

std::optional<PageDocument> PageDocument::open(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = "no page document at " + folder.string();
        return std::nullopt;
    }
    std::vector<Page> pages;
    if (fs::is_regular_file(folder / "Page.cpp", ec)) {
        std::string name = fs::absolute(folder, ec).lexically_normal().filename().string();
        if (name.empty())
            name = fs::absolute(folder, ec).lexically_normal().parent_path().filename().string();
        pages.push_back({fs::path(name).stem().string(), "Page.cpp"});
    } else {
        for (const auto& entry : entries(folder / "Pages", true)) {
            fs::path file = fs::path("Pages") / entry / "Page.cpp";
            if (fs::is_regular_file(folder / file, ec)) pages.push_back({pageName(entry), file});
        }
    }
    if (pages.empty()) {
        error = folder.string() + " is not a page document: it has no Page.cpp";
        return std::nullopt;
    }
    return PageDocument(folder, std::move(pages));
}

std::optional<std::size_t> PageDocument::resolve(const std::string& reference) const {
    if (reference == "@next") {
        if (current_ + 1 < pages_.size()) return current_ + 1;
        return std::nullopt;
    }
    if (reference == "@previous") {
        if (current_ > 0) return current_ - 1;
        return std::nullopt;
    }
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i].name == reference || pages_[i].file.parent_path().filename() == reference)
            return i;
    }
    return std::nullopt;
}

std::vector<fs::path> PageDocument::moduleSourcePaths() const {
    std::vector<fs::path> paths;
    for (const auto& module : moduleNames()) {
        for (const auto& file : sourceFiles(module)) {
            auto extension = fs::path(file).extension();
            if (extension == ".cpp" || extension == ".cc" || extension == ".cxx")
                paths.push_back(fs::path("Modules") / module / file);
        }
    }
    return paths;
}

std::string PageDocument::pageText() const {
    return readTextFile(folder_ / page().file).value_or(std::string());
}

std::vector<std::string> PageDocument::moduleNames() const {
    return entries(folder_ / "Modules", true);
}

std::vector<std::string> PageDocument::sourceFiles(const std::string& moduleName) const {
    if (!isPlainName(moduleName)) return {};
    return entries(folder_ / "Modules" / moduleName, false);
}

std::optional<std::string> PageDocument::sourceText(const std::string& fileName,
                                                    const std::string& moduleName) const {
    if (!isPlainName(fileName) || !isPlainName(moduleName)) return std::nullopt;
    return readTextFile(folder_ / "Modules" / moduleName / fileName);
}

}  // namespace host
