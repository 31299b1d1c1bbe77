// Writes per second that corral-host's key-value store persistence keeps
// up with: the store holds a 100,000-element array, and the page writes
// one small entry again and again; every write must end up in the file.
// Counts the writes the page made and the saves the file took.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <string>

#include "Corral/base/Objects.h"
#include "Corral/testing/StoreChange.h"
#include "StorePersistence.h"

namespace {

using testing_support::storeChange;

void BM_StoreWritesWithALargeEntry(benchmark::State& state) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("corral-bench-store-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::vector<base::ObjectRef> elements;
    for (int i = 0; i < 100000; ++i) elements.push_back(base::Number::initWithInteger(i));
    auto large = storeChange("scores", base::Array::make(std::move(elements)));
    std::int64_t writes = 0;
    std::size_t saves = 0;
    for (auto _ : state) {
        host::StorePersistence store(folder / "KeyValueStore.plist", [](const std::string&) {});
        store.load();
        store.apply(large);
        for (int i = 0; i < 1000; ++i) {
            store.apply(storeChange("counter", base::Number::initWithInteger(i)));
            ++writes;
        }
        store.close();  // everything written is in the file
        saves += store.saves();
    }
    std::filesystem::remove_all(folder);
    state.counters["writes/s"] =
        benchmark::Counter(static_cast<double>(writes), benchmark::Counter::kIsRate);
    state.counters["saves/write"] = static_cast<double>(saves) / static_cast<double>(writes);
}
BENCHMARK(BM_StoreWritesWithALargeEntry)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
