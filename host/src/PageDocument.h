#pragma once
// A page document on disk: a folder holding the pages' own text and the
// learner's user modules, which every page of the document shares.
//
//     <document>/Page.cpp                  the text of a document of one page
//     <document>/Pages/<folder>/Page.cpp   or: the pages of a document of several
//     <document>/Modules/<module>/<file>   the source files of each user module
//     <document>/KeyValueStore.plist       the key-value store, kept by the host
//
// The pages of a document of several are in the order of their folder
// names; a page is named after its folder, less a leading ordering number
// and its dash ("02-Loops" is the page "Loops"). A document of one page is
// named after its folder, less its extension.
//
// Module and file names are single path components: a name with a "/", or
// "." or "..", or one that starts with ".", names nothing, so page code
// cannot read outside the document.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace host {

// The whole of a regular file, or nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::filesystem::path& path);

class PageDocument {
public:
    // The document at `folder`, or an error message when it is not one.
    static std::optional<PageDocument> open(const std::filesystem::path& folder,
                                            std::string& error);

    struct Page {
        std::string name;
        // Relative to the document's folder, as the learner sees it ("Page.cpp").
        std::filesystem::path file;
    };

    const std::filesystem::path& folder() const noexcept { return folder_; }
    std::filesystem::path storePath() const { return folder_ / "KeyValueStore.plist"; }

    // In order; never empty.
    const std::vector<Page>& pages() const noexcept { return pages_; }
    std::size_t currentPage() const noexcept { return current_; }
    const Page& page() const { return pages_[current_]; }
    // Makes `index` (which must be below pages().size()) the current page.
    void selectPage(std::size_t index) { current_ = index; }
    // The page a link leads to from the current page: "@next", "@previous",
    // a page's name or its folder's name; nothing when there is no such page.
    std::optional<std::size_t> resolve(const std::string& reference) const;

    // The relative paths of every user-module source file that is compiled
    // with a page ("Modules/<module>/<file>" for files ending in .cpp, .cc or .cxx).
    std::vector<std::filesystem::path> moduleSourcePaths() const;

    // Read from disk at every call, so edits show at once.
    std::string pageText() const;
    // Sorted by name.
    std::vector<std::string> moduleNames() const;
    std::vector<std::string> sourceFiles(const std::string& moduleName) const;
    std::optional<std::string> sourceText(const std::string& fileName,
                                          const std::string& moduleName) const;

private:
    PageDocument(std::filesystem::path folder, std::vector<Page> pages)
        : folder_(std::move(folder)), pages_(std::move(pages)) {}
    std::filesystem::path folder_;
    std::vector<Page> pages_;
    std::size_t current_ = 0;
};

// True for a plain file or folder name that stays inside its parent.
bool isPlainName(const std::string& name);

}  // namespace host
