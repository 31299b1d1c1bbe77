// Builds a small tree of views from the input, relates them with arbitrary
// constraints (conflicting, missing, cross-axis, on guides), lays it out and
// checks that every frame stays finite and not negative in size. Layout
// diagnostics are expected; a crash, a hang or a bad frame is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Corral/base/Exception.h"
#include "Corral/ui/UI.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
    double number() { return static_cast<double>(static_cast<std::int8_t>(byte())) * 4; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

base::Ref<ui::LayoutConstraint> anyConstraint(Input& in, const base::Ref<ui::View>& a,
                                              const base::Ref<ui::View>& b) {
    base::Ref<ui::LayoutItem> second = b;
    if (in.byte() % 4 == 0) second = base::Ref<ui::LayoutItem>(b->safeAreaLayoutGuide());
    switch (in.byte() % 5) {
        case 0:
            return a->leadingAnchor()->constraintEqualToAnchor(second->trailingAnchor(),
                                                               in.number());
        case 1:
            return a->centerXAnchor()->constraintEqualToAnchor(second->leftAnchor(), in.number());
        case 2:
            return a->topAnchor()->constraintEqualToAnchor(second->bottomAnchor(), in.number());
        case 3:
            return a->widthAnchor()->constraintEqualToAnchor(
                second->heightAnchor(), ui::Multiplier(in.number() / 64), in.number());
        default:
            return a->heightAnchor()->constraintEqualToConstant(std::fabs(in.number()));
    }
}

void check(const ui::View& view) {
    ui::Rect f = view.frame();
    for (double n : {f.origin.x, f.origin.y, f.size.width, f.size.height}) {
        if (!std::isfinite(n)) std::abort();
    }
    if (f.size.width < 0 || f.size.height < 0) std::abort();
    for (const auto& subview : view.subviews()) check(*subview);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    auto window = ui::Window::make({0, 0, 320, 240});
    std::vector<base::Ref<ui::View>> views{window};
    for (int count = in.byte() % 8; count > 0; --count) {
        auto view = ui::View::make();
        view->setTranslatesAutoresizingMaskIntoConstraints(in.byte() % 4 != 0);
        views[in.byte() % views.size()]->addSubview(view);
        views.push_back(view);
    }
    while (!in.empty()) {
        auto& a = views[in.byte() % views.size()];
        auto& b = views[in.byte() % views.size()];
        auto constraint = anyConstraint(in, a, b);
        if (in.byte() % 8 == 0) {
            views[in.byte() % views.size()]->removeFromSuperview();
            continue;
        }
        try {
            constraint->setActive(true);
        } catch (const base::InvalidArgumentException&) {
            // Items outside one tree: refused, as it should be.
        }
        if (in.byte() % 4 == 0) window->layoutIfNeeded();
    }
    window->layoutIfNeeded();
    for (const auto& view : views) {
        view->layoutIfNeeded();
        check(*view);
    }
    return 0;
}
