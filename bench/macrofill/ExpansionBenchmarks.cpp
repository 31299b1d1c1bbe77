// In-process benchmarks of the expansion: back-to-back references and chains
// of definitions at growing sizes, whose times should grow linearly. After
// the table, one growth line per benchmark compares its largest size with
// the size a tenth (back-to-back references: a quarter) of it.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

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

// The console output, then for each benchmark the time of one whole
// expansion at its largest size as a multiple of the time at the smaller
// size: growing linearly, the multiple is the ratio of the sizes.
class GrowthReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.run_name.function_name][std::stol(run.run_name.args)] =
                    run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        growth("backToBackReferences", "references in one string", 50000, 200000, 0);
        growth("definitionChain", "links in a chain of definitions", 10000, 100000, 12);
    }

private:
    // `target`: the largest acceptable multiple, or 0 for none.
    void growth(const std::string& name, const char* what, long small, long large, double target) {
        auto& times = times_[name];
        if (!times.count(small) || !times.count(large)) return;
        std::printf("%s: expanding %ld %s takes %.1fx the time of %ld (%ldx the size", name.c_str(),
                    large, what, times[large] / times[small], small, large / small);
        if (target > 0) std::printf("; target: at most %gx", target);
        std::printf(")\n");
    }

    std::map<std::string, std::map<long, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    GrowthReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
