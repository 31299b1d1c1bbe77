#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Corral/base/NotificationCenter.h"
#include "Corral/base/String.h"

using namespace base;

namespace {
struct Sender : Object {};
}  // namespace

TEST(NotificationCenterTest, DeliversNameSenderAndUserInfoAsPosted) {
    NotificationCenter center;
    auto sender = std::make_shared<Sender>();
    std::vector<Notification> seen;
    center.addObserver("N", nullptr, [&](const Notification& n) { seen.push_back(n); });
    center.post("N", sender);
    center.post("N", sender, Dictionary::make());
    center.post("Other", sender);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].object, sender);
    EXPECT_EQ(seen[0].userInfo, nullptr);  // absent stays absent
    ASSERT_NE(seen[1].userInfo, nullptr);  // empty stays empty
    EXPECT_EQ(seen[1].userInfo->count(), 0u);
}

TEST(NotificationCenterTest, FiltersBySenderAndObservesAllNames) {
    NotificationCenter center;
    auto a = std::make_shared<Sender>();
    auto b = std::make_shared<Sender>();
    int fromA = 0, all = 0;
    center.addObserver(std::nullopt, a.get(), [&](const Notification&) { ++fromA; });
    center.addObserver(std::nullopt, nullptr, [&](const Notification&) { ++all; });
    center.post("X", a);
    center.post("Y", b);
    center.post("Z", nullptr);
    EXPECT_EQ(fromA, 1);
    EXPECT_EQ(all, 3);
}

TEST(NotificationCenterTest, ObserversMayPostAddAndRemoveWhileCalled) {
    NotificationCenter center;
    std::vector<std::string> order;
    NotificationCenter::Token second = 0;
    center.addObserver("first", nullptr, [&](const Notification&) {
        order.push_back("first");
        center.post("nested", nullptr);
        center.removeObserver(second);  // a later observer of this very post
        center.addObserver("first", nullptr, [&](const Notification&) { order.push_back("late"); });
        order.push_back("first done");
    });
    second = center.addObserver("first", nullptr,
                                [&](const Notification&) { order.push_back("removed"); });
    center.addObserver("nested", nullptr, [&](const Notification&) { order.push_back("nested"); });
    center.post("first", nullptr);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "nested", "first done"}));
    order.clear();
    center.post("first", nullptr);
    EXPECT_EQ(order.back(), "late");
}

TEST(NotificationCenterTest, ScopedObserverRemovesItself) {
    NotificationCenter center;
    int calls = 0;
    {
        ScopedObserver observer(
            "N", nullptr, [&](const Notification&) { ++calls; }, center);
        center.post("N", nullptr);
        ScopedObserver moved = std::move(observer);
        center.post("N", nullptr);
    }
    center.post("N", nullptr);
    EXPECT_EQ(calls, 2);
}

TEST(NotificationCenterTest, RegistrationIsThreadSafeWhilePosting) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    std::atomic<bool> stop{false};
    center.addObserver("N", nullptr, [&](const Notification&) { ++calls; });
    std::thread churn([&] {
        while (!stop) {
            auto token = center.addObserver("N", nullptr, [](const Notification&) {});
            center.removeObserver(token);
        }
    });
    for (int i = 0; i < 20000; ++i) center.post("N", nullptr);
    stop = true;
    churn.join();
    EXPECT_EQ(calls, 20000);
}

TEST(NotificationCenterTest, DefaultCenterIsOnePerProcess) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}
