#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Corral/base/Log.h"
#include "Corral/base/Print.h"

using namespace base;

namespace {
// Keeps the process-wide hook as it was before each test.
class PrintTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = _paddockPrintHook().get(); }
    void TearDown() override {
        std::cout.flush();
        _paddockPrintHook().set(saved_);
    }
    std::vector<std::string> captureHook() {
        _paddockPrintHook().set([this](const std::string& text) { received.push_back(text); });
        return {};
    }
    std::vector<std::string> received;

private:
    std::shared_ptr<const PrintHook> saved_;
};
}  // namespace

TEST(LogTest, ObserversSeeEveryEntryWithItsTags) {
    std::vector<LogEntry> entries;
    auto token = Log::addObserver([&](const LogEntry& e) { entries.push_back(e); });
    Log log("org.example.host", "Category");
    log.log("one");
    log.write(LogLevel::error, "two");
    Log::removeObserver(token);
    log.log("three");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].subsystem, "org.example.host");
    EXPECT_EQ(entries[0].category, "Category");
    EXPECT_EQ(entries[0].level, LogLevel::defaultLevel);
    EXPECT_EQ(entries[0].message, "one");
    EXPECT_EQ(entries[1].level, LogLevel::error);
}

TEST_F(PrintTest, PrintJoinsItemsAndHandsTheTextToTheHookUnchanged) {
    captureHook();
    print("a", 1, 2.5);
    printWith({.separator = "-", .terminator = "!"}, "x", "y");
    print();
    EXPECT_EQ(received, (std::vector<std::string>{"a 1 2.5\n", "x-y!", "\n"}));
}

TEST_F(PrintTest, ReplacingTheHookRedirectsLaterPrints) {
    std::vector<std::string> first;
    _paddockPrintHook().set([&](const std::string& t) { first.push_back(t); });
    print("one");
    captureHook();
    print("two");
    _paddockPrintHook().set(std::shared_ptr<const PrintHook>());
    print("three");
    EXPECT_EQ(first, std::vector<std::string>{"one\n"});
    EXPECT_EQ(received, std::vector<std::string>{"two\n"});
}

TEST_F(PrintTest, StandardOutputReachesTheHookOneCompletedLineAtATime) {
    captureHook();
    std::cout << "partial";
    EXPECT_TRUE(received.empty());
    std::cout << " line\nsecond line\nthird";
    std::cout << std::endl;
    EXPECT_EQ(received, (std::vector<std::string>{"partial line\n", "second line\n", "third\n"}));
}

TEST_F(PrintTest, AHookThatPrintsDoesNotLoopBackIntoItself) {
    int calls = 0;
    _paddockPrintHook().set([&](const std::string& text) {
        ++calls;
        std::cout << "echo: " << text;
        print("again");
    });
    print("hello");
    std::cout << "line\n";
    EXPECT_EQ(calls, 2);
}

// Runs every static destructor of the process, as exit() does.
extern "C" void __cxa_finalize(void* dso);

TEST(PrintDeathTest, PrintsAfterStaticDestructorsStillReachTheHook) {
    // What a print from the last destructors at exit meets: the hook in
    // force stays alive and keeps receiving text.
    EXPECT_EXIT(
        {
            static bool hookReleased = false;  // trivially destructible, still there at the end
            static char heard[64];
            static std::size_t heardSize = 0;
            struct ReleaseProbe {
                ~ReleaseProbe() { hookReleased = true; }
            };
            auto probe = std::make_shared<ReleaseProbe>();
            _paddockPrintHook().set([probe](const std::string& text) {
                for (char c : text) {
                    if (heardSize < sizeof heard) heard[heardSize++] = c;
                }
            });
            probe.reset();
            __cxa_finalize(nullptr);
            if (hookReleased) _exit(4);  // the stream would forward to a dead hook
            std::cout << "after exit\n" << std::flush;
            _exit(std::string(heard, heardSize) == "after exit\n" ? 0 : 5);
        },
        ::testing::ExitedWithCode(0), "");
}
