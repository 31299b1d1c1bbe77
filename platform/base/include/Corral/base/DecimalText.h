#pragma once
// Numbers as text the same way in every process locale: "1.5", never "1,5".
// Everything the libraries write for a program or a person to read again
// (descriptions, property lists, printed values) goes through here rather
// than through printf or a stream that follows the locale.

#include <charconv>
#include <string>
#include <system_error>

namespace base {

// `value` as "%.<significantDigits>g" writes it in the "C" locale.
inline std::string decimalText(double value, int significantDigits) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::general, significantDigits);
    if (error != std::errc()) return {};
    return std::string(buffer, end);
}

}  // namespace base
