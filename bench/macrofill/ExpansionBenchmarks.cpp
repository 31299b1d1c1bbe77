// In-process benchmarks of the expansion: back-to-back references and chains
// of definitions at growing sizes, whose times should grow linearly.

#include <benchmark/benchmark.h>

#include "MacroExpansionAdditions.h"

using namespace base;

namespace {

Ref<Dictionary> names(int count) {
    Dictionary::Builder definitions;
    for (int i = 0; i < count; ++i)
        definitions.set("NAME_" + std::to_string(i), String::make("value-" + std::to_string(i)));
    return definitions.build();
}

void backToBackReferences(benchmark::State& state) {
    auto table = names(200);
    std::string text;
    for (int i = 0; i < state.range(0); ++i) text += "$(NAME_" + std::to_string(i % 200) + ")";
    auto string = String::make(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(macrofill::mxp_stringByExpandingMacrosUsingTable(string, *table));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(backToBackReferences)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);

void definitionChain(benchmark::State& state) {
    Dictionary::Builder definitions;
    for (int i = 0; i < state.range(0); ++i)
        definitions.set("LINK_" + std::to_string(i),
                        String::make("<$(LINK_" + std::to_string(i + 1) + ")>"));
    definitions.set("LINK_" + std::to_string(state.range(0)), String::make("end"));
    auto table = definitions.build();
    auto string = String::make("$(LINK_0)");
    for (auto _ : state) {
        benchmark::DoNotOptimize(macrofill::mxp_stringByExpandingMacrosUsingTable(string, *table));
    }
}
BENCHMARK(definitionChain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
