// A page and its live view in a second process, through corral-host.
#include <gtest/gtest.h>

#include <string>

#include "HostProcess.h"

namespace {

std::string liveViewRun(const std::string& application, const std::string& page,
                        const std::string& options = "") {
    return "--timeout 30 " + options + " --live-view " + application + " " + page + " " +
           GREETING_DOCUMENT;
}

}  // namespace

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
