#pragma once
// An immutable colour: red, green, blue and alpha components as doubles,
// normally between 0 and 1.

#include <string>

#include "Corral/base/Object.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class UI_EXPORT Color final : public base::Object {
public:
    // Raises InvalidArgumentException for a component that is not finite.
    static base::Ref<Color> colorWithRed(double red, double green, double blue, double alpha = 1);
    static base::Ref<Color> colorWithWhite(double white, double alpha = 1);
    static base::Ref<Color> whiteColor();
    static base::Ref<Color> blackColor();
    static base::Ref<Color> clearColor();

    Color(double red, double green, double blue, double alpha);

    double red() const noexcept { return red_; }
    double green() const noexcept { return green_; }
    double blue() const noexcept { return blue_; }
    double alpha() const noexcept { return alpha_; }

    // "#RRGGBB": the components clamped to [0, 1] and rounded to 8 bits.
    std::string hexString() const;

    std::string className() const override { return "ui::Color"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    // "rgba(r, g, b, a)".
    std::string description() const override;

private:
    double red_, green_, blue_, alpha_;
};

}  // namespace ui
