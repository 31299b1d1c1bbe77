#pragma once
// A page document on disk: a folder holding the page's own text and the
// learner's user modules.
//
//     <document>/Page.cpp                  the text of the page
//     <document>/Modules/<module>/<file>   the source files of each user module
//     <document>/KeyValueStore.plist       the key-value store, kept by the host
//
// Module and file names are single path components: a name with a "/", or
// "." or "..", or one that starts with ".", names nothing, so page code
// cannot read outside the document.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace host {

class PageDocument {
public:
    // The document at `folder`, or an error message when it is not one.
    static std::optional<PageDocument> open(const std::filesystem::path& folder,
                                            std::string& error);

    const std::filesystem::path& folder() const noexcept { return folder_; }
    std::filesystem::path storePath() const { return folder_ / "KeyValueStore.plist"; }

    // Read from disk at every call, so edits show at once.
    std::string pageText() const;
    // Sorted by name.
    std::vector<std::string> moduleNames() const;
    std::vector<std::string> sourceFiles(const std::string& moduleName) const;
    std::optional<std::string> sourceText(const std::string& fileName,
                                          const std::string& moduleName) const;

private:
    explicit PageDocument(std::filesystem::path folder) : folder_(std::move(folder)) {}
    std::filesystem::path folder_;
};

// True for a plain file or folder name that stays inside its parent.
bool isPlainName(const std::string& name);

}  // namespace host
