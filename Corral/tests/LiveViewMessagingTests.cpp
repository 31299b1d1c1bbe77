#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corral/PaddockNotifications.h"
#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/base/Exception.h"
#include "Corral/base/Log.h"
#include "Corral/base/Objects.h"
#include "Corral/testing/Recorders.h"
#include "Corral/ui/View.h"
#include "PaddockPageAccess.h"
#include "TestSupport.h"
#include "ValueTestSupport.h"

namespace {

using Proxy = PaddockRemoteLiveViewProxy;

// A live view that takes part in messaging and records what reaches it.
class RecordingView : public ui::View, public PaddockLiveViewMessageHandler {
public:
    void liveViewMessageConnectionOpened() override { events.push_back("opened"); }
    void liveViewMessageConnectionClosed() override { events.push_back("closed"); }
    void receive(const PaddockValue& message) override {
        events.push_back("received");
        received.push_back(message);
    }
    std::vector<std::string> events;
    std::vector<PaddockValue> received;
};

void setRemoteLiveViewIsAvailable(bool available) {
    bridge().send("setRemoteLiveViewIsAvailable:", {base::Number::initWithBool(available)});
}

base::Ref<Proxy> installedProxy() {
    auto live = PaddockPage::current().liveView();
    return live ? live->as<Proxy>() : nullptr;
}

// The messages the host's sender received, as objects.
struct SentMessages {
    std::vector<base::ObjectRef> objects;
    base::Ref<base::Block> block = base::Block::make([this](std::span<const base::ObjectRef> args) {
        objects.push_back(args[0]);
        return base::ObjectRef();
    });
};

// Every test starts with no live view, no sender and the flag down.
class LiveViewMessagingTest : public ::testing::Test {
protected:
    void SetUp() override {
        page.setLiveView(std::nullopt);
        page.setNeedsIndefiniteExecution(false);
        PaddockPageAccess::setLiveViewMessageSender(page, nullptr);
    }
    void TearDown() override {
        page.setLiveView(std::nullopt);
        PaddockPageAccess::setLiveViewMessageSender(page, nullptr);
    }
    PaddockPage& page = PaddockPage::current();
};

}  // namespace

TEST_F(LiveViewMessagingTest, ARemoteLiveViewIsInstalledSilentlyAndKeptWhileAvailable) {
    auto view = ui::View::make();
    page.setLiveView(view);
    page.setNeedsIndefiniteExecution(false);
    NotificationRecorder recorder;

    setRemoteLiveViewIsAvailable(true);  // replaces the ordinary live view
    auto proxy = installedProxy();
    ASSERT_TRUE(proxy);
    EXPECT_FALSE(proxy->delegate());
    auto delegate = std::make_shared<RecordingProxyDelegate>();
    proxy->setDelegate(delegate);

    setRemoteLiveViewIsAvailable(true);  // a proxy is there already: it stays
    EXPECT_EQ(installedProxy(), proxy);
    EXPECT_EQ(proxy->delegate(), delegate);
    EXPECT_TRUE(recorder.notifications.empty());
    EXPECT_FALSE(page.needsIndefiniteExecution());

    setRemoteLiveViewIsAvailable(false);
    EXPECT_FALSE(page.liveView());
    ASSERT_EQ(recorder.names(), std::vector<std::string>{PaddockNotifications::liveViewDidChange});
    ASSERT_TRUE(recorder.notifications[0].userInfo);
    EXPECT_EQ(recorder.notifications[0].userInfo->count(), 0u);

    // The page released the proxy; page code still holds it.
    base::WeakRef<Proxy> weak = proxy;
    proxy.reset();
    EXPECT_TRUE(weak.expired());
}

TEST_F(LiveViewMessagingTest, UnavailabilityLeavesOtherLiveViewsAlone) {
    NotificationRecorder recorder;
    setRemoteLiveViewIsAvailable(false);
    EXPECT_FALSE(page.liveView());
    auto view = ui::View::make();
    page.setLiveView(view);
    recorder.notifications.clear();
    setRemoteLiveViewIsAvailable(false);
    EXPECT_EQ(page.liveView()->object(), view);
    EXPECT_TRUE(recorder.notifications.empty());

    // Page code may replace a proxy with a live view of its own.
    setRemoteLiveViewIsAvailable(true);
    page.setLiveView(view);
    EXPECT_EQ(recorder.names().size(), 2u);
    EXPECT_EQ(page.liveView()->object(), view);

    EXPECT_THROW(bridge().send("setRemoteLiveViewIsAvailable:", {base::String::make("yes")}),
                 base::InvalidArgumentException);
}

TEST_F(LiveViewMessagingTest, DeliveredMessagesAndEventsReachOnlyAHandlingLiveView) {
    const auto message = base::Dictionary::withStringKeys(
        {{"move", base::String::make("left")}, {"steps", base::Number::initWithInteger(3)}});

    // No live view, or one that does not handle messages: nothing happens.
    bridge().send("deliverLiveViewMessage:", {message});
    bridge().send("liveViewMessageConnectionOpened");
    page.setLiveView(ui::View::make());
    bridge().send("deliverLiveViewMessage:", {message});
    bridge().send("liveViewMessageConnectionClosed");

    auto view = std::make_shared<RecordingView>();
    page.setLiveView(view);
    bridge().send("liveViewMessageConnectionOpened");
    bridge().send("deliverLiveViewMessage:", {message});
    // Objects without a value form are dropped before the live view sees them.
    bridge().send("deliverLiveViewMessage:", {base::Null::null()});
    bridge().send("deliverLiveViewMessage:", {base::Array::make({base::Value::withRect({})})});
    bridge().send("deliverLiveViewMessage:", {nullptr});
    bridge().send("deliverLiveViewMessage:", {base::Number::initWithBool(true)});
    bridge().send("liveViewMessageConnectionClosed");

    EXPECT_EQ(view->events, (std::vector<std::string>{"opened", "received", "received", "closed"}));
    ASSERT_EQ(view->received.size(), 2u);
    EXPECT_TRUE(sameValue(view->received[0],
                          PaddockValue::dictionary({{"move", PaddockValue::string("left")},
                                                    {"steps", PaddockValue::integer(3)}})));
    EXPECT_TRUE(sameValue(view->received[1], PaddockValue::boolean(true)));
}

TEST_F(LiveViewMessagingTest, TheProxyPassesMessagesAndTheCloseToItsDelegateWhileItLives) {
    setRemoteLiveViewIsAvailable(true);
    auto proxy = installedProxy();
    ASSERT_TRUE(proxy);
    // Without a delegate, messages and the close are dropped.
    bridge().send("deliverLiveViewMessage:", {base::String::make("lost")});
    bridge().send("liveViewMessageConnectionClosed");

    auto delegate = std::make_shared<RecordingProxyDelegate>();
    proxy->setDelegate(delegate);
    bridge().send("deliverLiveViewMessage:", {base::String::make("first")});
    bridge().send("deliverLiveViewMessage:", {base::Number::initWithDouble(2.5)});
    bridge().send("liveViewMessageConnectionClosed");
    ASSERT_EQ(delegate->received.size(), 2u);
    EXPECT_TRUE(sameValue(delegate->received[0], PaddockValue::string("first")));
    EXPECT_TRUE(sameValue(delegate->received[1], PaddockValue::floatingPoint(2.5)));
    EXPECT_EQ(delegate->receivedBy, (std::vector<base::Ref<Proxy>>{proxy, proxy}));
    EXPECT_EQ(delegate->closedBy, std::vector<base::Ref<Proxy>>{proxy});

    // The proxy holds its delegate weakly: once it is gone, nothing arrives.
    base::WeakRef<RecordingProxyDelegate> weak = delegate;
    delegate.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(proxy->delegate());
    bridge().send("deliverLiveViewMessage:", {base::String::make("nobody")});
    bridge().send("liveViewMessageConnectionClosed");
}

TEST_F(LiveViewMessagingTest, SendHandsTheObjectRepresentationToTheInstalledSender) {
    auto view = std::make_shared<RecordingView>();
    SentMessages sent;
    bridge().send("setLiveViewMessageSender:", {sent.block});

    const PaddockLiveViewMessageHandler& handler = *view;
    handler.send(PaddockValue::array({PaddockValue::integer(1), PaddockValue::boolean(false)}));
    ASSERT_EQ(sent.objects.size(), 1u);
    EXPECT_TRUE(base::isEqual(
        sent.objects[0],
        base::Array::make({base::Number::initWithInteger(1), base::Number::initWithBool(false)})));

    // The proxy sends the same way, whatever live view the page has.
    setRemoteLiveViewIsAvailable(true);
    installedProxy()->send(PaddockValue::string("to the remote view"));
    ASSERT_EQ(sent.objects.size(), 2u);
    EXPECT_TRUE(base::isEqual(sent.objects[1], base::String::make("to the remote view")));

    // A sender replaced while it runs stays alive until it returns.
    SentMessages later;
    int calls = 0;
    auto replacing = std::make_shared<std::string>("alive");
    bridge().send("setLiveViewMessageSender:",
                  {base::Block::make([&, replacing](std::span<const base::ObjectRef>) {
                      ++calls;
                      bridge().send("setLiveViewMessageSender:", {later.block});
                      EXPECT_EQ(*replacing, "alive");
                      return base::ObjectRef();
                  })});
    replacing.reset();
    view->send(PaddockValue::integer(1));
    view->send(PaddockValue::integer(2));
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(later.objects.size(), 1u);
    EXPECT_TRUE(base::isEqual(later.objects[0], base::Number::initWithInteger(2)));
}

TEST_F(LiveViewMessagingTest, SendWithoutASenderDropsTheMessageAndSaysSoOnce) {
    std::vector<base::LogEntry> entries;
    auto token = base::Log::addObserver([&](const base::LogEntry& e) { entries.push_back(e); });
    auto view = std::make_shared<RecordingView>();
    view->send(PaddockValue::string("into the void"));
    base::Log::removeObserver(token);

    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].category, "Diagnostics");
    EXPECT_NE(entries[0].message.find("no live-view message sender"), std::string::npos);
    EXPECT_TRUE(view->events.empty());
}

TEST_F(LiveViewMessagingTest, AMessageThatWouldSpellOutTooMuchIsNotSentAndTheNextOneIs) {
    SentMessages sent;
    bridge().send("setLiveViewMessageSender:", {sent.block});
    setRemoteLiveViewIsAvailable(true);
    testing_support::LogRecorder log("Diagnostics");

    installedProxy()->send(doubledValue(21));
    installedProxy()->send(PaddockValue::string("after"));
    ASSERT_EQ(sent.objects.size(), 1u);
    EXPECT_TRUE(base::isEqual(sent.objects[0], base::String::make("after")));
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_TRUE(log.contains("send: the message is refused", base::LogLevel::error));
    EXPECT_TRUE(log.contains("it is not sent"));
}

TEST(LiveViewMessagingDeathTest, AProxyCannotBeOpenedOrShown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            setRemoteLiveViewIsAvailable(true);
            bridge().send("liveViewMessageConnectionOpened");
        },
        "^Corral/PaddockRemoteView:[0-9]+: Fatal error: The proxy should not be informed that "
        "the connection opened as the connection should be opened before the proxy exists!\n");
    EXPECT_DEATH(
        {
            setRemoteLiveViewIsAvailable(true);
            PaddockPage::current().liveView()->paddockLiveViewRepresentation();
        },
        "^Corral/PaddockRemoteView:[0-9]+: Fatal error: PaddockRemoteLiveViewProxy cannot "
        "provide a normal live view representation\n");
}
