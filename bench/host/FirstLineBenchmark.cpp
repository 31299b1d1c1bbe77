// From starting corral-host --protocol on a page whose module is cached to
// its first console line: what a studio's Run costs before the learner sees
// output. The same for a prebuilt module, for comparison, and the time to
// the "compiled" and "started" events along the way.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "Corral/testing/ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timings {
    double compiled = 0;
    double started = 0;
    double firstLine = 0;
};

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs corral-host once, reading its events to the end; false when it
// printed no console line.
bool runOnce(const std::vector<std::string>& arguments, Timings& timings) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    auto start = Clock::now();
    testing_support::ChildProcess host(CORRAL_HOST, arguments, -1,
                                       {{null, STDIN_FILENO}, {out[1], STDOUT_FILENO}});
    ::close(out[1]);
    ::close(null);
    std::string pending;
    bool seen = false;
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.find("\"event\":\"compiled\"") != std::string::npos)
                timings.compiled += secondsSince(start);
            if (line.find("\"event\":\"started\"") != std::string::npos)
                timings.started += secondsSince(start);
            if (!seen && line.find("\"event\":\"console\"") != std::string::npos) {
                timings.firstLine += secondsSince(start);
                seen = true;
            }
        }
    }
    ::close(out[0]);
    host.wait(std::chrono::seconds(30));
    return seen;
}

void firstLine(benchmark::State& state, const std::vector<std::string>& arguments) {
    Timings warm;
    if (!runOnce(arguments, warm)) {  // fills the cache
        state.SkipWithError("corral-host printed no console line");
        return;
    }
    Timings timings;
    for (auto _ : state) {
        Timings one;
        if (!runOnce(arguments, one)) {
            state.SkipWithError("corral-host printed no console line");
            return;
        }
        state.SetIterationTime(one.firstLine);
        timings.compiled += one.compiled;
        timings.started += one.started;
    }
    auto average = [&](double total) {
        return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
    };
    state.counters["toCompiled_s"] = average(timings.compiled);
    state.counters["toStarted_s"] = average(timings.started);
}

const std::string cacheFolder =
    (std::filesystem::temp_directory_path() / ("corral-bench-cache-" + std::to_string(::getpid())))
        .string();

void FirstLineFromCachedSource(benchmark::State& state) {
    firstLine(state, {"--protocol", "--cache", cacheFolder, GREETING_DOCUMENT});
}
void FirstLineFromPrebuiltModule(benchmark::State& state) {
    firstLine(state, {"--protocol", GREETING_PAGE, GREETING_DOCUMENT});
}

}  // namespace

BENCHMARK(FirstLineFromCachedSource)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(FirstLineFromPrebuiltModule)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
