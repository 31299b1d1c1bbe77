#pragma once
// A URL: an absolute string such as "file:///tmp/x" or "glossary://term",
// split into scheme and the rest on demand.

#include <string>
#include <string_view>

#include "Corral/base/BaseExport.h"

namespace base {

class BASE_EXPORT URL {
public:
    explicit URL(std::string absoluteString) : absoluteString_(std::move(absoluteString)) {}
    // A file URL for an absolute path.
    static URL fileURLWithPath(std::string_view path);

    const std::string& absoluteString() const noexcept { return absoluteString_; }
    // The text before the first ":", or empty when there is none.
    std::string scheme() const;
    bool isFileURL() const { return scheme() == "file"; }

    friend bool operator==(const URL&, const URL&) = default;

private:
    std::string absoluteString_;
};

}  // namespace base
