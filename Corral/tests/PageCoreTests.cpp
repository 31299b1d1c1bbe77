#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "Corral/PaddockNotifications.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/Number.h"
#include "Corral/base/RunLoop.h"
#include "PaddockPageAccess.h"
#include "TestSupport.h"

using Mode = PaddockPage::ExecutionMode;

TEST(PageCoreDeathTest, AFreshPageStartsInRunModeWithoutIndefiniteExecution) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process: a fresh page
    EXPECT_EXIT(
        {
            auto& page = PaddockPage::current();
            bool fresh = &page == &PaddockPage::current() && page.executionMode() == Mode::run &&
                         !page.needsIndefiniteExecution();
            std::exit(fresh ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(PageCoreTest, HostExecutionModeEntriesPostOnlyOnChange) {
    auto& page = PaddockPage::current();
    bridge().send("setExecutionModeToRun");
    NotificationRecorder recorder;
    const std::pair<const char*, Mode> entries[] = {
        {"setExecutionModeToRunFaster", Mode::runFaster},
        {"setExecutionModeToRunFastest", Mode::runFastest},
        {"setExecutionModeToStep", Mode::step},
        {"setExecutionModeToStepSlowly", Mode::stepSlowly},
        {"setExecutionModeToRun", Mode::run},
    };
    for (const auto& [selector, mode] : entries) {
        bridge().send(selector);
        EXPECT_EQ(page.executionMode(), mode) << selector;
        bridge().send(selector);  // the mode in force: nothing posted
    }
    ASSERT_EQ(recorder.notifications.size(), 5u);
    for (const auto& n : recorder.notifications) {
        EXPECT_EQ(n.name, PaddockNotifications::executionModeDidChange);
        EXPECT_EQ(n.name, PaddockNotificationName::paddockPageExecutionModeDidChange());
        EXPECT_EQ(n.object.get(), &page);
        EXPECT_EQ(n.userInfo, nullptr);
    }
}

TEST(PageCoreTest, ObserversSeeTheNewModeWhenNotified) {
    auto& page = PaddockPage::current();
    bridge().send("setExecutionModeToRun");
    std::optional<Mode> seen;
    base::ScopedObserver observer(PaddockNotificationName::paddockPageExecutionModeDidChange(),
                                  &page,
                                  [&](const base::Notification&) { seen = page.executionMode(); });
    bridge().send("setExecutionModeToStep");
    EXPECT_EQ(seen, Mode::step);
}

namespace {
bool flagIn(const base::Notification& n) {
    EXPECT_EQ(n.name, PaddockNotifications::needsIndefiniteExecutionDidChange);
    EXPECT_EQ(n.userInfo->count(), 1u);
    auto value = base::cast<base::Number>(
        n.userInfo->objectForKey(PaddockNotifications::Key::needsIndefiniteExecution));
    EXPECT_TRUE(value);
    EXPECT_EQ(value->typeCode(), "c");  // a Boolean travels as a boolean number
    return value->boolValue();
}
}  // namespace

TEST(PageCoreTest, EveryAssignmentOfTheIndefiniteFlagPosts) {
    auto& page = PaddockPage::current();
    page.setNeedsIndefiniteExecution(false);
    NotificationRecorder recorder;
    page.setNeedsIndefiniteExecution(false);
    page.setNeedsIndefiniteExecution(true);
    page.setNeedsIndefiniteExecution(true);
    ASSERT_EQ(recorder.notifications.size(), 3u);
    EXPECT_FALSE(flagIn(recorder.notifications[0]));
    EXPECT_TRUE(flagIn(recorder.notifications[1]));
    EXPECT_TRUE(flagIn(recorder.notifications[2]));
    EXPECT_EQ(recorder.notifications[0].object.get(), &page);
}

TEST(PageCoreTest, InPlaceMutationPostsOnceAfterTheChange) {
    auto& page = PaddockPage::current();
    page.setNeedsIndefiniteExecution(false);
    NotificationRecorder recorder;
    std::optional<bool> storedWhenPosted;
    base::ScopedObserver observer(std::nullopt, &page, [&](const base::Notification&) {
        storedWhenPosted = page.needsIndefiniteExecution();
    });
    page.modifyNeedsIndefiniteExecution([&](bool& flag) {
        flag = !flag;
        EXPECT_TRUE(recorder.notifications.empty());  // nothing posted mid-mutation
    });
    ASSERT_EQ(recorder.notifications.size(), 1u);
    EXPECT_TRUE(flagIn(recorder.notifications[0]));
    EXPECT_EQ(storedWhenPosted, true);
}

TEST(PageCoreDeathTest, FinishExecutionPostsThenSleepsTenMinutesAndExitsWithZero) {
    EXPECT_EXIT(
        {
            auto& page = PaddockPage::current();
            base::ScopedObserver observer(
                PaddockNotifications::finishExecution, &page, [](const base::Notification& n) {
                    std::fprintf(stderr, "posted%s\n", n.userInfo ? " with info" : "");
                });
            PaddockPageAccess::processControl().sleepSeconds = [](unsigned seconds) {
                std::fprintf(stderr, "slept %u\n", seconds);
            };
            page.finishExecution();
            std::fprintf(stderr, "returned\n");
        },
        ::testing::ExitedWithCode(0), "^posted\n(slept 60\n){10}$");
}

TEST(PageCoreDeathTest, FinishExecutionNeverReturnsEvenIfTheExitStepDoes) {
    EXPECT_EXIT(
        {
            PaddockPageAccess::processControl().sleepSeconds = [](unsigned) {};
            PaddockPageAccess::processControl().exit = [](int) {};
            PaddockPage::current().finishExecution();
            std::fprintf(stderr, "returned\n");
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "^$");
}

TEST(PageCoreTest, WaitUntilRunsHostWorkPostedFromOtherThreads) {
    using namespace std::chrono_literals;
    std::optional<int> reply;
    std::thread host([&] {
        std::this_thread::sleep_for(10ms);
        base::RunLoop::main().post([&] { reply = 42; });
    });
    EXPECT_TRUE(PaddockPage::current().waitUntil([&] { return reply.has_value(); }, 10s));
    EXPECT_EQ(reply, 42);
    EXPECT_FALSE(PaddockPage::current().waitUntil([] { return false; }, 10ms));
    host.join();
}
