#include "PageDocument.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace host {

namespace fs = std::filesystem;

namespace {
std::optional<std::string> readFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ifstream::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

std::optional<PageDocument> PageDocument::open(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = "no page document at " + folder.string();
        return std::nullopt;
    }
    if (!fs::is_regular_file(folder / "Page.cpp", ec)) {
        error = folder.string() + " is not a page document: it has no Page.cpp";
        return std::nullopt;
    }
    return PageDocument(folder);
}

std::string PageDocument::pageText() const {
    return readFile(folder_ / "Page.cpp").value_or(std::string());
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
    return readFile(folder_ / "Modules" / moduleName / fileName);
}

}  // namespace host
