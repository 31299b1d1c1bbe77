#include <gtest/gtest.h>

#include "Corral/PaddockNotifications.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/Objects.h"
#include "Corral/ui/UI.h"
#include "TestSupport.h"

namespace {

// Runs `request` and returns the one link request it posted.
template <class Request>
base::Notification linkRequest(Request request) {
    NotificationRecorder recorder(PaddockNotifications::requestsToHandleLink);
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
    auto payload = base::cast<base::String>(
        n.userInfo->objectForKey(PaddockNotifications::Key::linkRequestPayload));
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

    auto located =
        linkRequest([](PaddockPage& p) { p.showGlossaryEntry("x", base::Rect(10, 20, 30, 40)); });
    auto box = base::cast<base::Value>(
        located.userInfo->objectForKey(PaddockNotifications::Key::showGlossaryLocation));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->rectValue(), base::Rect(10, 20, 30, 40));
}

TEST(NavigationTest, AGlossaryNameThatCannotBeEncodedPostsNothing) {
    NotificationRecorder recorder;
    PaddockPage::current().showGlossaryEntry("bad \xFF name");
    EXPECT_TRUE(recorder.notifications.empty());
}

namespace {
// The location a glossary request carried, or nothing.
std::optional<base::Rect> glossaryLocation(const std::optional<base::Rect>& location,
                                           const base::Ref<ui::View>& view) {
    auto n = linkRequest([&](PaddockPage& p) { p.showGlossaryEntry("loop", location, view); });
    if (!n.userInfo) return std::nullopt;
    EXPECT_TRUE(
        base::isEqual(n.userInfo->objectForKey(PaddockNotifications::Key::linkRequestPayload),
                      base::String::make("glossary://loop")));
    auto box = base::cast<base::Value>(
        n.userInfo->objectForKey(PaddockNotifications::Key::showGlossaryLocation));
    EXPECT_EQ(n.userInfo->count(), box ? 2u : 1u);
    if (!box) return std::nullopt;
    return box->rectValue();
}
}  // namespace

TEST(NavigationTest, GlossaryLocationsInAViewAreSentInWindowCoordinates) {
    // A view at (10, 20) inside a container at (100, 200) of a window.
    auto window = ui::Window::make(ui::Rect(0, 0, 800, 600));
    auto container = ui::View::make(ui::Rect(100, 200, 400, 300));
    auto view = ui::View::make(ui::Rect(10, 20, 100, 50));
    window->addSubview(container);
    container->addSubview(view);

    EXPECT_EQ(glossaryLocation(std::nullopt, nullptr), std::nullopt);
    EXPECT_EQ(glossaryLocation(base::Rect(1, 2, 3, 4), nullptr), base::Rect(1, 2, 3, 4));
    // Without a location: the 2 by 2 rect around the centre of the view.
    EXPECT_EQ(glossaryLocation(std::nullopt, view), base::Rect(159, 244, 2, 2));
    EXPECT_EQ(glossaryLocation(base::Rect(5, 5, 10, 10), view), base::Rect(115, 225, 10, 10));

    // Only the size of the bounds places the centre; their origin still
    // shifts the conversion, as it does for any point in the view.
    view->setBounds(ui::Rect(30, 40, 100, 50));
    EXPECT_EQ(glossaryLocation(std::nullopt, view), base::Rect(159 - 30, 244 - 40, 2, 2));

    // A view outside any window converts to the coordinates of the root of
    // its tree, its own for a view on its own.
    auto loose = ui::View::make(ui::Rect(7, 9, 100, 50));
    EXPECT_EQ(glossaryLocation(std::nullopt, loose), base::Rect(49, 24, 2, 2));
}
