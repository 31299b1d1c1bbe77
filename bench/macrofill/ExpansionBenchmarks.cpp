// In-process benchmarks of the expansion: back-to-back references and chains
// of definitions at growing sizes, whose times should grow linearly, the
// table look-ups that following the chain needs, measured alone, and the
// building of that table. After the table, one growth line per benchmark
// compares the time of one run at its largest size with the time at a tenth
// (back-to-back references: a quarter) of it, and one more the same for the
// chain's expansion less its look-ups; with --benchmark_repetitions, the
// medians.

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

// LINK_0 = "<$(LINK_1)>", ..., LINK_<links> = "end": expanding "$(LINK_0)"
// follows every link and gives "<<...end>>...".
Ref<Dictionary> chain(std::int64_t links) {
    Dictionary::Builder definitions;
    for (std::int64_t i = 0; i < links; ++i)
        definitions.set("LINK_" + std::to_string(i),
                        String::make("<$(LINK_" + std::to_string(i + 1) + ")>"));
    definitions.set("LINK_" + std::to_string(links), String::make("end"));
    return definitions.build();
}

void definitionChain(benchmark::State& state) {
    auto table = chain(state.range(0));
    auto string = String::make("$(LINK_0)");
    auto links = static_cast<std::size_t>(state.range(0));
    if (macrofill::mxp_stringByExpandingMacrosUsingTable(string, *table)->text() !=
        std::string(links, '<') + "end" + std::string(links, '>'))
        state.SkipWithError("the chain did not expand to its end");
    for (auto _ : state) {
        benchmark::DoNotOptimize(macrofill::mxp_stringByExpandingMacrosUsingTable(string, *table));
    }
}
BENCHMARK(definitionChain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Building the table of a chain, as macrofill builds its table of build
// settings: one dictionary built key by key.
void tableBuild(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(chain(state.range(0)));
}
BENCHMARK(tableBuild)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// What no expansion of the chain can avoid: looking each name up in the
// table and reading its value to find the next name, one after another.
// Its growth is the table's own, once the table no longer fits the caches.
void chainLookUps(benchmark::State& state) {
    auto table = chain(state.range(0));
    for (auto _ : state) {
        std::string_view name = "LINK_0";
        std::size_t found = 0;
        while (const Dictionary::Entry* entry = table->entryForKey(name)) {
            ++found;
            const std::string& value = static_cast<const String&>(*entry->second).text();
            std::size_t open = value.find("$(");
            if (open == std::string::npos) break;
            name = std::string_view(value).substr(open + 2, value.find(')', open) - open - 2);
        }
        if (found != static_cast<std::size_t>(state.range(0)) + 1)
            state.SkipWithError("the chain was not followed to its end");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(chainLookUps)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The console output, then for each benchmark the time of one whole
// expansion at its largest size as a multiple of the time at the smaller
// size: growing linearly, the multiple is the ratio of the sizes.
class GrowthReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // One run, or the median of repeated ones.
        for (const auto& run : runs) {
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if ((median || single) && !run.error_occurred) {
                times_[run.run_name.function_name][std::stol(run.run_name.args)] =
                    run.GetAdjustedRealTime();
                timeUnit_[run.run_name.function_name] = benchmark::GetTimeUnitString(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        growth("backToBackReferences", "expanding", "references in one string", 50000, 200000, 0);
        growth("definitionChain", "expanding", "links in a chain of definitions", 10000, 100000,
               12);
        growth("chainLookUps", "looking up alone", "links of the same chain", 10000, 100000, 0);
        beyondLookUps(10000, 100000);
        growth("tableBuild", "building", "definitions into a table", 10000, 100000, 0);
    }

private:
    // `target`: the largest acceptable multiple, or 0 for none.
    void growth(const std::string& name, const char* doing, const char* what, long small,
                long large, double target) {
        auto& times = times_[name];
        if (!times.count(small) || !times.count(large)) return;
        std::printf(
            "%s: %s %ld %s takes %.1fx the time of %ld (%.1f against %.1f %s; %ldx the size",
            name.c_str(), doing, large, what, times[large] / times[small], small, times[large],
            times[small], timeUnit_[name].c_str(), large / small);
        if (target > 0) std::printf("; target: at most %gx", target);
        std::printf(")\n");
    }

    // The chain's expansion less its look-ups: the work of the expansion
    // itself, whose growth is not the table's.
    void beyondLookUps(long small, long large) {
        auto& chain = times_["definitionChain"];
        auto& lookUps = times_["chainLookUps"];
        if (!chain.count(small) || !chain.count(large) || !lookUps.count(small) ||
            !lookUps.count(large) || timeUnit_["definitionChain"] != timeUnit_["chainLookUps"])
            return;
        double beyondSmall = chain[small] - lookUps[small];
        double beyondLarge = chain[large] - lookUps[large];
        if (beyondSmall <= 0) return;
        std::printf(
            "definitionChain less chainLookUps: the expansion's own work for %ld links takes "
            "%.1fx that for %ld (%.1f against %.1f %s)\n",
            large, beyondLarge / beyondSmall, small, beyondLarge, beyondSmall,
            timeUnit_["definitionChain"].c_str());
    }

    std::map<std::string, std::map<long, double>> times_;  // median or single run, by size
    std::map<std::string, std::string> timeUnit_;
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
