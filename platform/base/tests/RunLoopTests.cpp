#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>
#include <vector>

#include "Corral/base/RunLoop.h"

using namespace base;
using namespace std::chrono_literals;

TEST(RunLoopTest, RunsWorkFromOtherThreadsInOrderOnTheRunningThread) {
    RunLoop loop;
    std::vector<int> seen;
    auto runner = std::this_thread::get_id();
    bool sameThread = true;
    std::thread producer([&] {
        for (int i = 0; i < 1000; ++i)
            loop.post([&, i] {
                seen.push_back(i);
                sameThread = sameThread && std::this_thread::get_id() == runner;
            });
    });
    EXPECT_TRUE(loop.runUntil([&] { return seen.size() == 1000; }, 10s));
    producer.join();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_TRUE(sameThread);
}

TEST(RunLoopTest, RunUntilReportsTheDeadlineAndChecksTheConditionFirst) {
    RunLoop loop;
    int ran = 0;
    loop.post([&] { ++ran; });
    EXPECT_TRUE(loop.runUntil([] { return true; }, 0s));
    EXPECT_EQ(ran, 0);  // condition already held: nothing run
    EXPECT_FALSE(loop.runUntil([] { return false; }, 20ms));
    EXPECT_EQ(ran, 1);
}

TEST(RunLoopTest, StopEndsRunFromAnotherThreadOrFromWork) {
    RunLoop loop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(10ms);
        loop.stop();
    });
    EXPECT_TRUE(loop.run(RunLoop::Clock::now() + 10s));
    stopper.join();
    loop.post([&] { loop.stop(); });
    EXPECT_TRUE(loop.run(RunLoop::Clock::now() + 10s));
    EXPECT_FALSE(loop.run(RunLoop::Clock::now() + 10ms));  // a stop does not linger
}

// A stop that lands just after the loop found its condition false, and
// before it waits, still ends the wait: the condition below asks for the
// stop itself at that moment. Were the stop missed, the loop would sleep to
// its deadline, a minute away.
TEST(RunLoopTest, AStopBetweenTheLastLookAndTheWaitIsNotLost) {
    RunLoop loop;
    int looks = 0;
    bool stopped = false;
    auto start = RunLoop::Clock::now();
    EXPECT_TRUE(loop.runUntil(
        [&] {
            // The second look is the one right before the wait.
            if (++looks == 2) {
                loop.stop();
                stopped = true;
                return false;
            }
            return stopped;
        },
        60s));
    EXPECT_LT(RunLoop::Clock::now() - start, 30s);
}

TEST(RunLoopTest, WorkMayPostMoreWork) {
    RunLoop loop;
    std::vector<std::string> order;
    loop.post([&] {
        order.push_back("a");
        loop.post([&] { order.push_back("c"); });
    });
    loop.post([&] { order.push_back("b"); });
    EXPECT_TRUE(loop.runUntil([&] { return order.size() == 3; }, 1s));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(RunLoopTest, TurnObserversRunWhenTheQueueDrains) {
    RunLoop loop;
    std::vector<std::string> order;
    loop.addTurnObserver([&] { order.push_back("turn"); });
    loop.post([&] { order.push_back("a"); });
    loop.post([&] { order.push_back("b"); });
    loop.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "turn"}));
}

TEST(RunLoopTest, AStopDuringANestedWaitDoesNotSpinIt) {
    RunLoop loop;
    int checks = 0;
    loop.post([&] {
        loop.stop();
        // A nested wait for something else keeps waiting (without spinning),
        // and the outer run then sees the stop.
        EXPECT_FALSE(loop.runUntil([&] { return ++checks < 0; }, 50ms));
    });
    EXPECT_TRUE(loop.run(RunLoop::Clock::now() + 10s));
    EXPECT_LT(checks, 10);
    EXPECT_FALSE(loop.isRunning());
}

TEST(RunLoopTest, RunReachesItsDeadlineWithNothingQueued) {
    RunLoop loop;
    auto start = RunLoop::Clock::now();
    EXPECT_FALSE(loop.run(start + 30ms));
    EXPECT_GE(RunLoop::Clock::now() - start, 30ms);
}

TEST(RunLoopTimeoutTest, TheLargestTimeoutsWaitForEver) {
    // Each timeout is far beyond what the clock can name; the loop must wait
    // for the work (posted a little later from another thread), not give up
    // at once because the deadline wrapped into the past.
    auto waitsForWork = [](auto timeout) {
        RunLoop loop;
        bool done = false;
        std::thread later([&] {
            std::this_thread::sleep_for(20ms);
            loop.post([&] { done = true; });
        });
        bool held = loop.runUntil([&] { return done; }, timeout);
        later.join();
        return held;
    };
    EXPECT_TRUE(waitsForWork(RunLoop::Clock::duration::max()));
    EXPECT_TRUE(waitsForWork(std::chrono::hours::max()));
    EXPECT_TRUE(waitsForWork(std::chrono::duration<double>(1e10)));
    EXPECT_TRUE(
        waitsForWork(std::chrono::duration<double>(std::numeric_limits<double>::infinity())));
}

TEST(RunLoopTimeoutTest, NegativeAndNaNTimeoutsDoNotWait) {
    RunLoop loop;
    const auto start = RunLoop::Clock::now();
    EXPECT_FALSE(loop.runUntil([] { return false; }, RunLoop::Clock::duration::min()));
    EXPECT_FALSE(loop.runUntil([] { return false; }, std::chrono::hours::min()));
    EXPECT_FALSE(loop.runUntil([] { return false; }, -1s));
    EXPECT_FALSE(
        loop.runUntil([] { return false; },
                      std::chrono::duration<double>(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_LT(RunLoop::Clock::now() - start, 5s);
}

TEST(SaturatingDurationTest, ClampsAtTheEndsOfTheTargetRange) {
    using std::chrono::nanoseconds;
    // 1e10 s is 1e19 ns, beyond the 9.2e18 a signed 64-bit count holds.
    EXPECT_EQ(saturatingDurationCast<nanoseconds>(std::chrono::duration<double>(1e10)),
              nanoseconds::max());
    EXPECT_EQ(saturatingDurationCast<nanoseconds>(std::chrono::duration<double>(2.5)),
              nanoseconds(2'500'000'000));
    EXPECT_EQ(saturatingDurationCast<nanoseconds>(std::chrono::duration<double>(-1e300)),
              nanoseconds::min());
    EXPECT_EQ(saturatingDurationCast<std::chrono::seconds>(nanoseconds::max()),
              std::chrono::seconds(nanoseconds::max().count() / 1'000'000'000));
    const auto latest = RunLoop::Clock::time_point::max();
    EXPECT_EQ(saturatingAdd(latest - 1s, RunLoop::Clock::duration(2s)), latest);
    EXPECT_EQ(saturatingAdd(RunLoop::Clock::time_point::min() + 1s, RunLoop::Clock::duration(-2s)),
              RunLoop::Clock::time_point::min());
    EXPECT_EQ(saturatingAdd(RunLoop::Clock::time_point{}, RunLoop::Clock::duration(3s)),
              RunLoop::Clock::time_point{} + 3s);
}
