#include <gtest/gtest.h>
#include <thread>

#include "EventLog.h"

namespace studio {

using namespace std::chrono_literals;

TEST(EventLog, ReadersGetEventsInOrderAfterTheLastTheySaw) {
    EventLog log;
    EXPECT_EQ(log.append("a"), 1u);
    EXPECT_EQ(log.append("b"), 2u);
    std::vector<std::string> out;
    EXPECT_EQ(log.readAfter(0, out, 0ms), 2u);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b"}));
    out.clear();
    EXPECT_EQ(log.readAfter(1, out, 0ms), 2u);
    EXPECT_EQ(out, (std::vector<std::string>{"b"}));
    out.clear();
    EXPECT_EQ(log.readAfter(2, out, 0ms), 2u);
    EXPECT_TRUE(out.empty());
}

TEST(EventLog, AWaitingReaderWakesForANewEventOrAClose) {
    EventLog log;
    std::vector<std::string> out;
    std::thread writer([&] {
        std::this_thread::sleep_for(20ms);
        log.append("late");
    });
    EXPECT_EQ(log.readAfter(0, out, 5000ms), 1u);
    writer.join();
    EXPECT_EQ(out, (std::vector<std::string>{"late"}));

    std::thread closer([&] {
        std::this_thread::sleep_for(20ms);
        log.close();
    });
    const auto before = std::chrono::steady_clock::now();
    out.clear();
    log.readAfter(1, out, 10000ms);
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5000ms);
    EXPECT_TRUE(log.closed());
}

TEST(EventLog, AFloodKeepsOnlyTheNewestAndALaggingReaderSkipsAhead) {
    EventLog log(3);
    for (int i = 1; i <= 10; ++i) log.append(std::to_string(i));
    std::vector<std::string> out;
    EXPECT_EQ(log.readAfter(2, out, 0ms), 10u);
    EXPECT_EQ(out, (std::vector<std::string>{"8", "9", "10"}));
}

}  // namespace studio
