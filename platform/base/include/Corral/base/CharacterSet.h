#pragma once
// Sets of ASCII characters, and percent-encoding against them.

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

#include "Corral/base/BaseExport.h"

namespace base {

class BASE_EXPORT CharacterSet {
public:
    explicit CharacterSet(std::string_view characters);

    // What may stand in the host part of a URL: the unreserved characters
    // (letters, digits, "-._~"), the sub-delimiters "!$&'()*+,;=", ":" and
    // the square brackets.
    static const CharacterSet& urlHostAllowed();

    bool contains(unsigned char c) const noexcept { return c < 128 && members_[c]; }

private:
    std::bitset<128> members_;
};

// `text` with every byte of its UTF-8 form that is not in `allowed` written
// as "%" and two uppercase hexadecimal digits. No result when `text` is not
// valid UTF-8.
BASE_EXPORT std::optional<std::string> addingPercentEncoding(std::string_view text,
                                                             const CharacterSet& allowed);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
BASE_EXPORT bool isValidUTF8(std::string_view text) noexcept;

}  // namespace base
