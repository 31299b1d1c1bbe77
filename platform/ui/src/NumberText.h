#pragma once
// How the toolkit writes numbers in descriptions, dumps and pictures: up to
// ten significant digits, no "-0".

#include <cstdio>
#include <string>

namespace ui::detail {

inline std::string numberText(double value) {
    if (value == 0) value = 0;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

}  // namespace ui::detail
