// What a post and a removal cost as the number of registered observers grows.
// A post should cost in proportion to the observers it calls, not to every
// observer registered; removing an observer should not depend on how many
// others there are.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "Corral/base/NotificationCenter.h"

namespace {

using base::Notification;
using base::NotificationCenter;

// One post of "N", which one observer hears, among `range(0)` observers of
// other names.
void PostAmongUnrelatedObservers(benchmark::State& state) {
    NotificationCenter center;
    for (int i = 0; i < state.range(0); ++i)
        center.addObserver("Unrelated" + std::to_string(i), nullptr, [](const Notification&) {});
    long calls = 0;
    center.addObserver("N", nullptr, [&](const Notification&) { ++calls; });
    const Notification notification{"N", nullptr, nullptr};
    for (auto _ : state) center.post(notification);
    if (calls != static_cast<long>(state.iterations())) state.SkipWithError("lost a call");
}
BENCHMARK(PostAmongUnrelatedObservers)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

// One post that `range(0)` observers hear.
void PostToManyObservers(benchmark::State& state) {
    NotificationCenter center;
    long calls = 0;
    for (int i = 0; i < state.range(0); ++i)
        center.addObserver("N", nullptr, [&](const Notification&) { ++calls; });
    const Notification notification{"N", nullptr, nullptr};
    for (auto _ : state) center.post(notification);
    if (calls != state.range(0) * static_cast<long>(state.iterations()))
        state.SkipWithError("lost a call");
    state.SetItemsProcessed(calls);
}
BENCHMARK(PostToManyObservers)->Arg(1)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Adds `range(0)` observers of one name, then removes them in the order they
// were added (the time covers both).
void AddThenRemoveObservers(benchmark::State& state) {
    std::vector<NotificationCenter::Token> tokens(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        NotificationCenter center;
        for (auto& token : tokens)
            token = center.addObserver("N", nullptr, [](const Notification&) {});
        for (auto token : tokens) center.removeObserver(token);
    }
    state.SetItemsProcessed(state.range(0) * static_cast<long>(state.iterations()));
}
BENCHMARK(AddThenRemoveObservers)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
