#pragma once
// The source files of a page document that the studio shows and saves:
// the page's own text and the files of the learner's user modules.
//
//     <document>/Page.cpp
//     <document>/Modules/<module>/<file>
//
// Names come from the browser, so each is checked to be one plain path
// component: nothing outside the document's folder is read or written.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace studio {

struct SourceFile {
    std::string module;  // "" for the page itself
    std::string name;    // "Page.cpp", or the file's name in its module
    std::string text;
};

class DocumentFiles {
public:
    explicit DocumentFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // The page first, then module files sorted by module and name.
    std::vector<SourceFile> list() const;
    // Replaces one existing source file (or adds a source file to an existing
    // module) atomically; false with `error` when the names are refused or
    // the write fails, leaving the old text in place.
    bool save(const std::string& module, const std::string& name, const std::string& text,
              std::string& error) const;

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::optional<std::filesystem::path> pathFor(const std::string& module, const std::string& name,
                                                 std::string& error) const;
    std::filesystem::path folder_;
};

}  // namespace studio
