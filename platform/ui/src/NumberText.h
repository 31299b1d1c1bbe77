#pragma once
// How the toolkit writes numbers in descriptions, dumps and pictures: up to
// ten significant digits, no "-0".

#include <string>

#include "Corral/base/DecimalText.h"

namespace ui::detail {

inline std::string numberText(double value) {
    if (value == 0) value = 0;
    return base::decimalText(value, 10);
}

}  // namespace ui::detail
