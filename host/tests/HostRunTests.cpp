// Runs the built corral-host on test pages, as a learner's environment would.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "HostProcess.h"

namespace {
using Run = HostRun;
std::string page(const char* name) { return testPage(name); }
const std::string document = GREETING_DOCUMENT;
}  // namespace

TEST(HostRunTest, RunsAPageAndReportsWhatItPrints) {
    auto run = runHost(std::string(GREETING_PAGE) + " " + document);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("page | The greeter says hello.\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("host | ended (returned): the page returned"), std::string::npos);
    EXPECT_NE(run.out.find("host | assessmentStatus {\"status\":{\"pass\":\"Well greeted!\"}}"),
              std::string::npos)
        << run.out;
    // Page output appears once, through the transcript only.
    EXPECT_EQ(run.out.find("\nThe greeter says hello."), std::string::npos) << run.out;
}

TEST(HostRunTest, PrintsOfStaticDestructorsReachTheTranscript) {
    // They come as the page process exits, after the page returned: the
    // console hook must still find the host alive, and the run is reported
    // as ended only once they are in.
    auto run = runHost(page("page-test-PrintsAtExit") + " " + document);
    EXPECT_EQ(run.status, 0) << run.out;
    auto running = run.out.find("page | running\n");
    auto goodbye = run.out.find("page | goodbye from a static destructor\n");
    auto ended = run.out.find("host | ended (returned): the page returned");
    ASSERT_NE(goodbye, std::string::npos) << run.out;
    ASSERT_NE(ended, std::string::npos) << run.out;
    EXPECT_LT(running, goodbye) << run.out;
    EXPECT_LT(goodbye, ended) << run.out;
}

TEST(HostRunTest, JsonTranscriptIsOneObjectPerLine) {
    auto run =
        runHostThrough("--json --mode step " + std::string(GREETING_PAGE) + " " + document,
                       "python3 -c 'import json,sys; lines=[json.loads(l) for l in sys.stdin]; "
                       "print(len(lines), lines[0][\"event\"], lines[-1][\"event\"], "
                       "[l[\"mode\"] for l in lines if l[\"event\"]==\"executionMode\"])'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.filterStatus, 0) << run.out;
    EXPECT_NE(run.out.find("hello ended ['step']"), std::string::npos) << run.out;
}

TEST(HostRunTest, AHostThatCrashesUnderAFilterFails) {
    // The filter copes with whatever it is given; the status is still the host's. The host
    // is killed outright, so that a sanitizer's own crash handler cannot change the status.
    auto run = runHostThrough("--json --timeout 30 " + page("page-test-KeepsRunning") + " " +
                                  document + " & sleep 0.5; kill -KILL $!; wait $!",
                              "cat >/dev/null");
    EXPECT_EQ(run.status, 128 + 9) << run.out;
    EXPECT_EQ(run.filterStatus, 0) << run.out;
}

TEST(HostRunTest, LifecycleEndsOnFinishTimeoutOrSignal) {
    auto start = std::chrono::steady_clock::now();
    auto finished = runHost(page("page-test-Finishes") + " " + document);
    EXPECT_EQ(finished.status, 0) << finished.out;
    EXPECT_NE(finished.out.find("page | finishing"), std::string::npos) << finished.out;
    EXPECT_NE(finished.out.find("ended (finished): the page finished execution"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

    auto timedOut = runHost("--timeout 0.2 " + page("page-test-KeepsRunning") + " " + document);
    EXPECT_EQ(timedOut.status, 124) << timedOut.out;
    EXPECT_NE(timedOut.out.find("host | running"), std::string::npos);

    auto signalled = runHost("--timeout 30 " + page("page-test-KeepsRunning") + " " + document +
                             " & sleep 0.5; kill -TERM $!; wait $!");
    EXPECT_EQ(signalled.status, 128 + 15) << signalled.out;
    EXPECT_NE(signalled.out.find("host | ended (stopped)"), std::string::npos) << signalled.out;
}

TEST(HostRunTest, BadInputGetsAClearErrorAndStatus) {
    auto missing = runHost(page("page-test-Nothing") + " " + document);
    EXPECT_EQ(missing.status, 66);
    EXPECT_NE(missing.out.find("cannot load page module"), std::string::npos) << missing.out;

    auto noDocument = runHost(std::string(GREETING_PAGE) + " /nonexistent.paddock");
    EXPECT_EQ(noDocument.status, 66);
    EXPECT_NE(noDocument.out.find("no page document"), std::string::npos);

    auto usage = runHost("--mode fly");
    EXPECT_EQ(usage.status, 64);
    EXPECT_NE(usage.out.find("usage: corral-host"), std::string::npos);

    auto throws = runHost(page("page-test-Throws") + " " + document);
    EXPECT_EQ(throws.status, 70);
    EXPECT_NE(throws.out.find("the page threw: learner's bug"), std::string::npos) << throws.out;
}

TEST(HostRunTest, GreetingFailsWithHintsWhenTheModuleDoesNotGreet) {
    DocumentCopy copy(GREETING_DOCUMENT, "greeting");
    std::ofstream(copy.path() / "Modules" / "Greeter" / "Greeter.cpp", std::ofstream::trunc)
        << "std::string greeting() { return \"Bye\"; }\n";
    auto run = runHost(std::string(GREETING_PAGE) + " " + copy.path().string());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("page | The greeter does not say hello yet."), std::string::npos);
    EXPECT_NE(run.out.find("host | assessmentStatus {\"status\":{\"fail\":"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("A greeting starts with"), std::string::npos) << run.out;
}
