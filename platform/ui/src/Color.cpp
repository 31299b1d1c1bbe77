#include "Corral/ui/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "Corral/base/DecimalText.h"
#include "Corral/base/Exception.h"

namespace ui {

Color::Color(double red, double green, double blue, double alpha)
    : red_(red), green_(green), blue_(blue), alpha_(alpha) {
    for (double component : {red, green, blue, alpha}) {
        if (!std::isfinite(component)) {
            base::raiseInvalidArgument("colour components must be finite numbers");
        }
    }
}

base::Ref<Color> Color::colorWithRed(double red, double green, double blue, double alpha) {
    return std::make_shared<Color>(red, green, blue, alpha);
}

base::Ref<Color> Color::colorWithWhite(double white, double alpha) {
    return std::make_shared<Color>(white, white, white, alpha);
}

base::Ref<Color> Color::whiteColor() { return colorWithWhite(1); }
base::Ref<Color> Color::blackColor() { return colorWithWhite(0); }
base::Ref<Color> Color::clearColor() { return colorWithWhite(0, 0); }

std::string Color::hexString() const {
    auto byte = [](double component) {
        return static_cast<unsigned>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
    };
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", byte(red_), byte(green_), byte(blue_));
    return buffer;
}

bool Color::isEqual(const Object& other) const noexcept {
    auto* color = dynamic_cast<const Color*>(&other);
    return color && color->red_ == red_ && color->green_ == green_ && color->blue_ == blue_ &&
           color->alpha_ == alpha_;
}

std::size_t Color::hash() const noexcept {
    std::hash<double> h;
    return h(red_) ^ (h(green_) << 1) ^ (h(blue_) << 2) ^ (h(alpha_) << 3);
}

std::string Color::description() const {
    auto text = [](double v) { return base::decimalText(v, 4); };  // as "%.4g" writes it
    return "rgba(" + text(red_) + ", " + text(green_) + ", " + text(blue_) + ", " + text(alpha_) +
           ")";
}

}  // namespace ui
