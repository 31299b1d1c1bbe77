// A page and its live view in a second process, through corral-host.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>

#include "HostProcess.h"
#include "ProtocolSession.h"

namespace {

std::string liveViewRun(const std::string& application, const std::string& page,
                        const std::string& options = "") {
    return "--timeout 30 " + options + " --live-view " + application + " " + page + " " +
           GREETING_DOCUMENT;
}

using Json = ProtocolSession::Json;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Runs the session to its end (which must be a clean one) and returns its
// live-view events, each checked to come after "started" and before "ended".
std::vector<Json> picturesOf(ProtocolSession& session) {
    EXPECT_TRUE(session.started());
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    std::vector<Json> pictures;
    bool started = false, ended = false;
    for (const auto& event : session.events()) {
        std::string kind = event.value("event", "");
        if (kind == "started") started = true;
        if (kind == "ended") ended = true;
        if (kind != "liveView") continue;
        EXPECT_TRUE(started && !ended) << session.transcript();
        pictures.push_back(event);
    }
    return pictures;
}

// Every picture has this size and full-screen flag.
void expectEverySize(const std::vector<Json>& pictures, int width, int height, bool fullScreen) {
    for (const auto& picture : pictures) {
        EXPECT_EQ(picture["width"], width) << picture;
        EXPECT_EQ(picture["height"], height) << picture;
        EXPECT_EQ(picture["fullScreen"], fullScreen) << picture;
    }
}

}  // namespace

// A live view in its own process is drawn for the host as it changes: the
// echo live view shows a bar per answered message beside the page's code.
TEST(HostLiveViewTest, ALiveViewInItsOwnProcessSendsItsPictureSideBySide) {
    ProtocolSession session(
        {"--timeout", "30", "--live-view", ECHO_LIVE_VIEW, ECHO_PAGE, ECHO_DOCUMENT});
    auto pictures = picturesOf(session);
    ASSERT_FALSE(pictures.empty()) << session.transcript();
    expectEverySize(pictures, 512, 768, false);
    // No two pictures in a row are the same; the last shows every answer.
    for (std::size_t i = 1; i < pictures.size(); ++i)
        EXPECT_NE(pictures[i]["svg"], pictures[i - 1]["svg"]);
    std::string last = pictures.back()["svg"];
    EXPECT_EQ(occurrences(last, "<title>EchoAnswer</title>"), 15u) << last;
    EXPECT_NE(last.find("<title>EchoView answered 15</title>"), std::string::npos) << last;
    // Drawn in the trailing half of the screen, where the shell put it.
    EXPECT_NE(last.find("viewBox=\"512 0 512 768\""), std::string::npos) << last;
}

// A live view that fills its screen is sent as full screen, and the picture
// it drew just before it ended still arrives, before the page's end.
TEST(HostLiveViewTest, AFullScreenLiveViewSendsItsLastPictureBeforeItEnds) {
    ProtocolSession session({"--timeout", "30", "--live-view", FULL_SCREEN_LIVE_VIEW,
                             testPage("page-test-Listens"), GREETING_DOCUMENT});
    auto pictures = picturesOf(session);
    ASSERT_GE(pictures.size(), 1u) << session.transcript();
    expectEverySize(pictures, 1024, 768, true);
    std::string last = pictures.back()["svg"];
    EXPECT_NE(last.find("<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\" fill=\"#FF0000\""),
              std::string::npos)
        << last;
    EXPECT_NE(last.find("<title>Board</title>"), std::string::npos) << last;
    // The live view's end clears it, and no picture follows that.
    auto cleared =
        std::find_if(session.events().begin(), session.events().end(),
                     [](const Json& e) { return e.value("event", "") == "liveViewCleared"; });
    ASSERT_NE(cleared, session.events().end()) << session.transcript();
    EXPECT_TRUE(std::none_of(cleared, session.events().end(), [](const Json& e) {
        return e.value("event", "") == "liveView";
    })) << session.transcript();
}

// Once the page shows a live view of its own, the remote live view's
// pictures are no longer the page's: none of them follows the page's own.
TEST(HostLiveViewTest, APageThatReplacesItsRemoteLiveViewIsDrawnWithItsOwn) {
    ProtocolSession session({"--timeout", "30", "--live-view", ECHO_LIVE_VIEW,
                             testPage("page-test-ReplacesLiveView"), GREETING_DOCUMENT});
    auto pictures = picturesOf(session);
    auto own = std::find_if(pictures.begin(), pictures.end(), [](const Json& picture) {
        return picture["svg"].get<std::string>().find("#00FF00") != std::string::npos;
    });
    ASSERT_NE(own, pictures.end()) << session.transcript();
    EXPECT_TRUE(std::none_of(own, pictures.end(), [](const Json& picture) {
        return picture["svg"].get<std::string>().find("EchoView") != std::string::npos;
    })) << session.transcript();
    EXPECT_NE(session.transcript().find("\"text\":\"done\""), std::string::npos)
        << session.transcript();
}

TEST(HostLiveViewTest, EchoPageGetsBackEveryValueInOrderAndJsonParses) {
    auto run = runHostThrough("--json --timeout 30 --live-view " + std::string(ECHO_LIVE_VIEW) +
                                  " " + ECHO_PAGE + " " + ECHO_DOCUMENT,
                              "python3 -c 'import json,sys\n"
                              "lines=[json.loads(l) for l in sys.stdin]\n"
                              "print(\"\\n\".join(l.get(\"text\",\"\").strip() for l in lines if "
                              "l[\"event\"]==\"console\"))\n"
                              "print(\"events:\", \" \".join(l[\"event\"] for l in lines))'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.filterStatus, 0) << run.out;
    EXPECT_TRUE(contains(run.out, "All 15 echoes came back unchanged and in order.")) << run.out;
    EXPECT_FALSE(contains(run.out, "DIFFERS")) << run.out;
    EXPECT_TRUE(contains(run.out,
                         "echo 15 matches: {name: \"Ada\", nested: {when: date(86400)}, "
                         "scores: [3, 4.5]}"))
        << run.out;
    EXPECT_TRUE(contains(run.out, "events: hello storeFile storeContents started hostMessage"))
        << run.out;
}

TEST(HostLiveViewTest, CrashingLiveViewClosesTheConnectionAndTheDelegateHearsIt) {
    auto run = runHost(liveViewRun(CRASHING_LIVE_VIEW, testPage("page-test-Listens")));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(contains(run.out, "page | received: about to crash")) << run.out;
    EXPECT_TRUE(contains(run.out, "was killed by signal 6")) << run.out;
    EXPECT_TRUE(contains(run.out, "page | the proxy's delegate heard the close")) << run.out;
    EXPECT_TRUE(contains(run.out, "page | the live view is gone")) << run.out;
    // The page's removal of the proxy is announced as a cleared live view.
    EXPECT_TRUE(contains(run.out, "host | liveViewCleared")) << run.out;
}

TEST(HostLiveViewTest, MalformedFramesAreDroppedAndAnOversizedOneCloses) {
    auto run = runHost(liveViewRun(GARBAGE_LIVE_VIEW, testPage("page-test-Listens")));
    EXPECT_EQ(run.status, 0) << run.out;
    auto dropped =
        run.out.find("host | live view: dropped a frame of 5 bytes: not a binary property list");
    auto after = run.out.find("page | received: after the dropped frame");
    auto oversized = run.out.find("more than the limit of 67108864 bytes");
    EXPECT_NE(dropped, std::string::npos) << run.out;
    EXPECT_NE(after, std::string::npos) << run.out;
    EXPECT_NE(oversized, std::string::npos) << run.out;
    EXPECT_LT(dropped, after);
    EXPECT_LT(after, oversized);
    EXPECT_TRUE(contains(run.out, "page | the proxy's delegate heard the close")) << run.out;
}

TEST(HostLiveViewTest, ALiveViewThatCannotStartIsAClearError) {
    auto run = runHost(liveViewRun("/nonexistent/live-view", testPage("page-test-Listens")));
    EXPECT_EQ(run.status, 69) << run.out;
    EXPECT_TRUE(contains(run.out, "cannot start the live view /nonexistent/live-view")) << run.out;
}
