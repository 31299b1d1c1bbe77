#pragma once
// UTF-8 and UTF-16 conversions shared by the property-list readers and
// writers. Text in string objects is UTF-8; the binary property-list format
// stores non-ASCII strings as UTF-16 (big-endian).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace base::unicode {

// True when `text` is well-formed UTF-8: shortest forms only, no surrogate
// code points, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text) noexcept;

bool isAscii(std::string_view text) noexcept;

// Appends `codePoint` (at most U+10FFFF, not a surrogate) as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

// Decodes `count` big-endian UTF-16 code units from `bytes` and appends them
// as UTF-8. False when a surrogate is unpaired.
bool appendUtf16BigEndianAsUtf8(std::string& out, const std::uint8_t* bytes, std::size_t count);

// Appends valid UTF-8 `text` as big-endian UTF-16 and returns the number of
// code units written.
std::size_t appendUtf8AsUtf16BigEndian(std::string& out, std::string_view text);

}  // namespace base::unicode
