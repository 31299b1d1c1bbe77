#include <gtest/gtest.h>

#include "Corral/PaddockPage.h"
#include "TestSupport.h"
#include "base/Objects.h"

namespace {

// Runs `request` and returns the one link request it posted.
template <class Request>
base::Notification linkRequest(Request request) {
    NotificationRecorder recorder("PaddockPageRequestsToHandleLink");
    request(PaddockPage::current());
    EXPECT_EQ(recorder.notifications.size(), 1u);
    if (recorder.notifications.empty()) return {};
    EXPECT_EQ(recorder.notifications[0].object.get(), &PaddockPage::current());
    return recorder.notifications[0];
}

template <class Request>
std::string payloadOf(Request request) {
    auto n = linkRequest(request);
    if (!n.userInfo) return "<no user info>";
    auto payload = base::cast<base::String>(n.userInfo->objectForKey("PaddockPageLinkRequestPayload"));
    return payload ? payload->text() : "<no payload>";
}

using Nav = PaddockPage::PageNavigation;

}  // namespace

TEST(NavigationTest, PageNavigationPayloads) {
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.navigateTo(Nav::previous()); }), "@previous");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.navigateTo(Nav::next()); }), "@next");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.navigateTo(Nav::pageReference("@next")); }),
              "@next");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.navigateTo(Nav::pageReference("Intro/Page 2")); }),
              "Intro/Page 2");
    auto n = linkRequest([](PaddockPage& p) { p.navigateTo(Nav::next()); });
    EXPECT_EQ(n.userInfo->count(), 1u);
}

TEST(NavigationTest, DocumentAndApplicationLinksCarrySignedDecimalSuffixes) {
    const std::string doc = "x-paddocks://document?contentIdentifier=";
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.openPaddock("com.x.doc"); }), doc + "com.x.doc");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.openPaddock("com.x.doc", 3); }),
              doc + "com.x.doc&page=3");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.openPaddock("id", -1); }), doc + "id&page=-1");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.openPaddock("a b&c=%@", 0); }),
              doc + "a b&c=%@&page=0");  // copied unencoded, placeholders not re-expanded
    const std::string app = "x-paddocks-launch-app://";
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.openApplication("org.example.app"); }),
              app + "org.example.app");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.openApplication("org.example.app", 42); }),
              app + "org.example.app?bazaarID=42");
    EXPECT_EQ(payloadOf([](PaddockPage& p) {
                  p.openApplication("", std::numeric_limits<std::int64_t>::min());
              }),
              app + "?bazaarID=-9223372036854775808");
}

TEST(NavigationTest, GlossaryNamesArePercentEncodedAndLocationsBoxed) {
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.showGlossaryEntry("for loop"); }),
              "glossary://for%20loop");
    EXPECT_EQ(payloadOf([](PaddockPage& p) { p.showGlossaryEntry("a/b\xC3\xA9"); }),
              "glossary://a%2Fb%C3%A9");

    auto bare = linkRequest([](PaddockPage& p) { p.showGlossaryEntry("x"); });
    EXPECT_EQ(bare.userInfo->count(), 1u);

    auto located = linkRequest(
        [](PaddockPage& p) { p.showGlossaryEntry("x", base::Rect(10, 20, 30, 40)); });
    auto box = base::cast<base::Value>(
        located.userInfo->objectForKey("PaddockPageRequestsShowGlossaryLocation"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->rectValue(), base::Rect(10, 20, 30, 40));
}

TEST(NavigationTest, AGlossaryNameThatCannotBeEncodedPostsNothing) {
    NotificationRecorder recorder;
    PaddockPage::current().showGlossaryEntry("bad \xFF name");
    EXPECT_TRUE(recorder.notifications.empty());
}
