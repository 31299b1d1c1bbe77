#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
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

TEST(NotificationCenterTest, ObserversOfOneNameAndOfEveryNameRunInTheOrderAdded) {
    NotificationCenter center;
    std::string order;
    center.addObserver("N", nullptr, [&](const Notification&) { order += 'a'; });
    center.addObserver(std::nullopt, nullptr, [&](const Notification&) { order += 'b'; });
    center.addObserver("Other", nullptr, [&](const Notification&) { order += 'x'; });
    center.addObserver("N", nullptr, [&](const Notification&) { order += 'c'; });
    center.addObserver(std::nullopt, nullptr, [&](const Notification&) { order += 'd'; });
    center.post("N", nullptr);
    EXPECT_EQ(order, "abcd");
    // A name whose last observer went is forgotten, and can be observed again.
    order.clear();
    auto token = center.addObserver("Gone", nullptr, [&](const Notification&) { order += 'g'; });
    center.removeObserver(token);
    center.removeObserver(token);  // a second removal is ignored
    center.post("Gone", nullptr);
    center.addObserver("Gone", nullptr, [&](const Notification&) { order += 'h'; });
    center.post("Gone", nullptr);
    EXPECT_EQ(order, "bdbdh");
}

TEST(NotificationCenterTest, TheDefaultCenterIsSharedByEveryThread) {
    auto& center = NotificationCenter::defaultCenter();
    std::atomic<int> heard{0};
    ScopedObserver observer("DefaultCenterTest", nullptr, [&](const Notification&) { ++heard; });
    std::thread([] {
        NotificationCenter::defaultCenter().post("DefaultCenterTest", nullptr);
    }).join();
    center.post("DefaultCenterTest", nullptr);
    EXPECT_EQ(heard, 2);
}

TEST(NotificationCenterRemovalTest, WaitsForACallRunningOnAnotherThread) {
    NotificationCenter center;
    std::atomic<bool> inside{false}, removalStarted{false}, removalReturned{false};
    std::atomic<bool> returnedWhileInside{false};
    auto token = center.addObserver("N", nullptr, [&](const Notification&) {
        inside = true;
        while (!removalStarted) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        returnedWhileInside = removalReturned.load();
    });
    std::thread poster([&] { center.post("N", nullptr); });
    while (!inside) std::this_thread::yield();
    std::thread remover([&] {
        removalStarted = true;
        center.removeObserver(token);
        removalReturned = true;
    });
    remover.join();
    poster.join();
    EXPECT_TRUE(removalReturned);
    EXPECT_FALSE(returnedWhileInside);
}

TEST(NotificationCenterRemovalTest, NoCallStartsAfterRemovalReturns) {
    // The pattern of an object that observes while it lives: after the
    // removal returns, the object is gone and must not be called.
    struct Watched {
        std::atomic<bool> gone{false};
    };
    NotificationCenter center;
    std::atomic<bool> stop{false};
    std::atomic<int> callsAfterRemoval{0};
    std::thread poster([&] {
        while (!stop) center.post("N", nullptr);
    });
    for (int round = 0; round < 50000; ++round) {
        auto* watched = new Watched;
        auto token =
            center.addObserver("N", nullptr, [&callsAfterRemoval, watched](const Notification&) {
                if (watched->gone) ++callsAfterRemoval;
            });
        if (round % 2) std::this_thread::yield();
        center.removeObserver(token);
        watched->gone = true;
        delete watched;  // a late call would now read freed memory
    }
    stop = true;
    poster.join();
    EXPECT_EQ(callsAfterRemoval, 0);
}

TEST(NotificationCenterRemovalTest, AnObserverMayRemoveItselfDuringItsCall) {
    NotificationCenter center;
    auto resource = std::make_shared<int>(7);
    std::weak_ptr<int> watch = resource;
    int calls = 0;
    long useCountDuringCall = 0;
    NotificationCenter::Token token = 0;
    token = center.addObserver("N", nullptr, [&, resource](const Notification&) {
        ++calls;
        center.removeObserver(token);  // must neither block nor free this lambda now
        useCountDuringCall = watch.use_count();
        center.post("N", nullptr);  // no longer heard, not even nested
    });
    resource.reset();
    center.post("N", nullptr);
    center.post("N", nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(useCountDuringCall, 1);  // still alive while its call ran
    EXPECT_TRUE(watch.expired());      // and released once it returned
}

TEST(NotificationCenterRemovalTest, SelfRemovalWaitsOnlyForOtherThreads) {
    // Two threads are inside the same observer; the one that removes it
    // waits for the other, not for itself.
    NotificationCenter center;
    std::atomic<int> inside{0};
    std::atomic<bool> secondLeft{false}, removerSawSecondLeave{false};
    NotificationCenter::Token token = 0;
    token = center.addObserver("N", nullptr, [&](const Notification& n) {
        ++inside;
        while (inside < 2) std::this_thread::yield();
        if (n.userInfo) {  // the remover
            center.removeObserver(token);
            removerSawSecondLeave = secondLeft.load();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            secondLeft = true;
        }
    });
    std::thread other([&] { center.post("N", nullptr); });
    center.post("N", nullptr, Dictionary::make());
    other.join();
    EXPECT_TRUE(removerSawSecondLeave);
}
