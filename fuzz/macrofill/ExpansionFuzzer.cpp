// Expands fuzzed strings with fuzzed definitions, with the fast expander and
// with the plain transcription of the algorithm, and requires the same
// outcome.
//
// Input: the string to expand, then lines "NAME=VALUE" (a VALUE starting
// with "#" is a number, so that lookups of non-strings are reached). Bytes
// above 0x7F stand for a two-byte character, so that the text is UTF-8.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Corral/base/Objects.h"
#include "MacroExpansionOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1024) return 0;
    std::string utf8;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] < 0x80)
            utf8 += static_cast<char>(data[i]);
        else
            utf8 += "\xC3\xA9";
    }
    std::string_view input(utf8);
    auto newline = input.find('\n');
    std::string text(input.substr(0, newline));
    base::Dictionary::Builder definitions;
    while (newline != std::string_view::npos) {
        input.remove_prefix(newline + 1);
        newline = input.find('\n');
        std::string_view line = input.substr(0, newline);
        auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string value(line.substr(equals + 1));
        definitions.set(std::string(line.substr(0, equals)),
                        value.starts_with('#') ? base::ObjectRef(base::Number::initWithInteger(1))
                                               : base::ObjectRef(base::String::make(value)));
    }
    auto table = definitions.build();
    // Limits that keep each run quick; what they cut short is not checked.
    const oracle::Limits limits{20000, 60, 8000};
    std::string difference = oracle::disagreement(text, *table, limits, std::size_t{1} << 16);
    if (difference.empty()) return 0;
    std::fprintf(stderr, "%s\n", difference.c_str());
    std::abort();
}
