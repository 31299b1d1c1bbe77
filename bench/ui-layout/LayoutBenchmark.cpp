// The cost of a layout pass over a window: a column of rows, each placed
// below the previous one (solved by propagation), and a row of views of
// equal width between the window's edges (the widths are coupled, so the
// elimination solves them together).
#include <benchmark/benchmark.h>

#include "Corral/ui/UI.h"

namespace {

using ui::LayoutConstraint;

base::Ref<ui::View> addConstrained(const base::Ref<ui::View>& parent) {
    auto view = ui::View::make();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(view);
    return view;
}

base::Ref<ui::Window> stackedRows(int count) {
    auto window = ui::Window::make({0, 0, 1000, 20.0 * count});
    base::Ref<ui::View> above;
    for (int i = 0; i < count; ++i) {
        auto row = addConstrained(window);
        LayoutConstraint::activateConstraints({
            row->topAnchor()->constraintEqualToAnchor(above ? above->bottomAnchor()
                                                            : window->topAnchor()),
            row->leadingAnchor()->constraintEqualToAnchor(window->leadingAnchor(), 8),
            row->trailingAnchor()->constraintEqualToAnchor(window->trailingAnchor(), -8),
            row->heightAnchor()->constraintEqualToConstant(20),
        });
        above = row;
    }
    return window;
}

base::Ref<ui::Window> equalColumns(int count) {
    auto window = ui::Window::make({0, 0, 10.0 * count, 100});
    base::Ref<ui::View> first, previous;
    for (int i = 0; i < count; ++i) {
        auto column = addConstrained(window);
        LayoutConstraint::activateConstraints({
            column->leadingAnchor()->constraintEqualToAnchor(previous ? previous->trailingAnchor()
                                                                      : window->leadingAnchor()),
            column->topAnchor()->constraintEqualToAnchor(window->topAnchor()),
            column->bottomAnchor()->constraintEqualToAnchor(window->bottomAnchor()),
        });
        if (first)
            column->widthAnchor()->constraintEqualToAnchor(first->widthAnchor())->setActive(true);
        if (!first) first = column;
        previous = column;
    }
    previous->trailingAnchor()->constraintEqualToAnchor(window->trailingAnchor())->setActive(true);
    return window;
}

template <base::Ref<ui::Window> (*Build)(int)>
void layoutPass(benchmark::State& state) {
    auto window = Build(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        window->setNeedsLayout();
        window->layoutIfNeeded();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK_TEMPLATE(layoutPass, stackedRows)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(layoutPass, equalColumns)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
