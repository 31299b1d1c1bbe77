// Copies a generated value of 1,000,000 nodes (arrays and dictionaries
// nesting strings, numbers, Booleans, dates and data) node by node, and
// converts it to its object representation and back. The anchor, measured in
// the same run, is a copy of the same tree held in nlohmann::json. The last
// lines of the output are the ratios to it (with --benchmark_repetitions, of
// the medians); the targets are at most 1.5 for the deep copy and at most 3
// for the round trip. SharedCopy shows what an ordinary copy of the same
// value costs while its storage is shared.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "PaddockValueObjectRepresentation.h"

namespace {

constexpr std::size_t kNodes = 1'000'000;

// Builds a value of exactly `nodes` nodes, the same on every run.
class ValueGenerator {
public:
    PaddockValue make(std::size_t nodes) {
        remaining_ = nodes - 1;
        PaddockValue::Array top;
        while (remaining_ > 0) top.push_back(node(1));
        return PaddockValue::array(std::move(top));
    }

private:
    PaddockValue node(int depth) {
        --remaining_;
        if (depth < 6 && pick(4) == 0) return container(depth);
        switch (pick(8)) {
            case 0:
            case 1:
            case 2:
                return PaddockValue::string(text());
            case 3:
            case 4:
                return PaddockValue::integer(static_cast<std::int64_t>(random_()));
            case 5:
                return PaddockValue::floatingPoint(static_cast<double>(random_()) / 7.0);
            case 6:
                return PaddockValue::boolean(pick(2) == 0);
            default:
                return pick(2) ? PaddockValue::date({static_cast<double>(pick(1'000'000'000))})
                               : PaddockValue::data(PaddockValue::Data(16 + pick(48), 0xab));
        }
    }

    PaddockValue container(int depth) {
        std::size_t count = 2 + pick(14);
        if (pick(2)) {
            PaddockValue::Array elements;
            for (std::size_t i = 0; i < count && remaining_ > 0; ++i)
                elements.push_back(node(depth + 1));
            return PaddockValue::array(std::move(elements));
        }
        PaddockValue::Dictionary entries;
        for (std::size_t i = 0; i < count && remaining_ > 0; ++i)
            entries.emplace("key" + std::to_string(i) + text().substr(0, 4), node(depth + 1));
        return PaddockValue::dictionary(std::move(entries));
    }

    std::string text() {
        std::string s(4 + pick(28), ' ');
        for (char& c : s) c = static_cast<char>('a' + pick(26));
        return s;
    }

    std::size_t pick(std::size_t bound) { return random_() % bound; }

    std::mt19937_64 random_{20010101};
    std::size_t remaining_ = 0;
};

const PaddockValue& sample() {
    static const PaddockValue value = ValueGenerator().make(kNodes);
    return value;
}

// The same tree as nlohmann::json: dates become numbers, data binary.
nlohmann::json asJson(const PaddockValue& value) {
    struct ToJson {
        nlohmann::json operator()(const PaddockValue::Array& elements) const {
            auto array = nlohmann::json::array();
            for (const auto& element : elements) array.push_back(asJson(element));
            return array;
        }
        nlohmann::json operator()(const PaddockValue::Dictionary& entries) const {
            auto object = nlohmann::json::object();
            for (const auto& [key, element] : entries) object[key] = asJson(element);
            return object;
        }
        nlohmann::json operator()(const std::string& text) const { return text; }
        nlohmann::json operator()(const PaddockValue::Data& bytes) const {
            return nlohmann::json::binary(bytes);
        }
        nlohmann::json operator()(PaddockValue::Date date) const {
            return date.timeIntervalSinceReferenceDate;
        }
        nlohmann::json operator()(PaddockValue::Integer number) const { return number.value; }
        nlohmann::json operator()(PaddockValue::FloatingPoint number) const { return number.value; }
        nlohmann::json operator()(PaddockValue::Boolean truth) const { return truth.value; }
    };
    return value.visit(ToJson{});
}

const nlohmann::json& sampleJson() {
    static const nlohmann::json tree = asJson(sample());
    return tree;
}

// A copy sharing nothing with `value`: every array, dictionary, string and
// data payload is copied, as a copy without shared storage would do.
PaddockValue deepCopy(const PaddockValue& value) {
    PaddockValue copy = value;
    std::vector<PaddockValue*> work{&copy};
    while (!work.empty()) {
        PaddockValue* next = work.back();
        work.pop_back();
        if (auto* array = next->asMutableArray()) {
            for (auto& element : *array) work.push_back(&element);
        } else if (auto* dictionary = next->asMutableDictionary()) {
            for (auto& entry : *dictionary) work.push_back(&entry.second);
        } else {
            next->asMutableString();
            next->asMutableData();
        }
    }
    return copy;
}

// An ordinary copy, which shares the storage until one side is written.
void SharedCopy(benchmark::State& state) {
    for (auto _ : state) {
        PaddockValue copy = sample();
        benchmark::DoNotOptimize(copy);
    }
}

// The anchor: nlohmann::json copies every node.
void JsonCopy(benchmark::State& state) {
    for (auto _ : state) {
        nlohmann::json copy = sampleJson();
        benchmark::DoNotOptimize(copy);
    }
}

void DeepCopy(benchmark::State& state) {
    for (auto _ : state) {
        PaddockValue copy = deepCopy(sample());
        benchmark::DoNotOptimize(copy);
    }
}

void ConversionOut(benchmark::State& state) {
    for (auto _ : state) {
        base::ObjectRef object = objectRepresentation(sample());
        benchmark::DoNotOptimize(object);
    }
}

void ConversionIn(benchmark::State& state) {
    const base::ObjectRef object = objectRepresentation(sample());
    for (auto _ : state) {
        auto value = paddockValueFromObjectRepresentation(object);
        if (!value) state.SkipWithError("the value did not convert back");
        benchmark::DoNotOptimize(value);
    }
}

void RoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        auto value = paddockValueFromObjectRepresentation(objectRepresentation(sample()));
        if (!value) state.SkipWithError("the value did not convert back");
        benchmark::DoNotOptimize(value);
    }
}

BENCHMARK(SharedCopy);
BENCHMARK(JsonCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(DeepCopy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(ConversionOut)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(ConversionIn)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(RoundTrip)->Unit(benchmark::kMillisecond)->MinTime(2);

// The console output, then the deep copy's and the round trip's times as
// multiples of the anchor's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // One run, or the median of repeated ones.
        for (const auto& run : runs) {
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if ((median || single) && !run.error_occurred)
                times_[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                      run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        ratio("DeepCopy", "deep copy", 1.5);
        ratio("RoundTrip", "round trip", 3);
    }

private:
    void ratio(const std::string& name, const char* label, double target) {
        if (!times_.count(name) || !times_.count("JsonCopy")) return;
        const auto& [anchorReal, anchorCpu] = times_["JsonCopy"];
        const auto& [real, cpu] = times_[name];
        std::printf(
            "%s / nlohmann::json copy = %.2f real time, %.2f CPU time (target: at most %g)\n",
            label, real / anchorReal, cpu / anchorCpu, target);
    }

    std::map<std::string, std::pair<double, double>> times_;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    sampleJson();  // generated once, outside every measurement
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
