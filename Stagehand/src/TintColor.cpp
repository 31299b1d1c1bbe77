#include "TintColor.h"

namespace stagehand {

const base::Ref<ui::Color>& tintColor() {
    static const base::Ref<ui::Color> color =
        ui::Color::colorWithRed(254.0 / 255.0, 75.0 / 255.0, 38.0 / 255.0, 1.0);
    return color;
}

}  // namespace stagehand
