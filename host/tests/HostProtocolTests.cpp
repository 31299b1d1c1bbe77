// corral-host as a studio or a learner's terminal drives it: what the page
// writes, how runs end, the protocol's commands and the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "HostProcess.h"
#include "ProtocolSession.h"

namespace {

using Json = ProtocolSession::Json;
namespace fs = std::filesystem;

const std::string document = GREETING_DOCUMENT;

// The console events of a session, as "stream: text" lines, partial ones
// marked with a trailing "|".
std::vector<std::string> consoleLines(const ProtocolSession& session) {
    std::vector<std::string> lines;
    for (const auto& event : session.eventsOf("console"))
        lines.push_back(event.value("stream", "") + ": " + event.value("text", "") +
                        (event.value("partial", false) ? "|" : ""));
    return lines;
}

}  // namespace

TEST(HostConsoleTest, EverythingThePageWritesReachesTheConsoleInOrder) {
    ProtocolSession session({testPage("page-test-PrintsEverywhere"), document});
    ASSERT_TRUE(session.started());
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    auto lines = consoleLines(session);
    // stdout and stderr are separate pipes: each keeps its own order.
    std::vector<std::string> out, err;
    for (const auto& line : lines) (line.rfind("stdout", 0) == 0 ? out : err).push_back(line);
    EXPECT_EQ(out, (std::vector<std::string>{"stdout: from printf 1", "stdout: from puts",
                                             "stdout: from cout", "stdout: from print",
                                             "stdout: a last line without its newline|"}))
        << session.transcript();
    EXPECT_EQ(err, (std::vector<std::string>{"stderr: from cerr", "stderr: from stderr"}))
        << session.transcript();
    auto ended = session.eventsOf("ended");
    ASSERT_EQ(ended.size(), 1u) << session.transcript();
    EXPECT_EQ(ended[0]["cause"], "returned");
    EXPECT_EQ(session.events().back()["event"], "ended") << session.transcript();

    // The text transcript marks standard error and keeps the partial line.
    auto text = runHost(testPage("page-test-PrintsEverywhere") + " " + document);
    EXPECT_EQ(text.status, 0) << text.out;
    EXPECT_TRUE(contains(text.out, "page ! from cerr\n")) << text.out;
    EXPECT_TRUE(contains(text.out, "page | from printf 1\n")) << text.out;
    EXPECT_TRUE(contains(text.out, "page | a last line without its newline\n")) << text.out;
}

TEST(HostConsoleTest, RunsThatGoWrongEndAsEventsWithTheirCause) {
    DocumentCopy copy(GREETING_DOCUMENT, "crash");
    struct Case {
        std::string name;
        std::vector<std::string> arguments;
        std::string cause;
        int status;
    };
    const std::vector<Case> cases = {
        {"crash", {testPage("page-test-Crashes")}, "crash", 70},
        {"CPU limit", {"--cpu-limit", "1", testPage("page-test-Spins")}, "limit", 70},
        {"console flood", {"--console-limit=200000", testPage("page-test-Floods")}, "limit", 70},
        {"timeout", {"--timeout", "0.5", testPage("page-test-KeepsRunning")}, "timeout", 124},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto arguments = c.arguments;
        arguments.push_back(copy.path().string());
        ProtocolSession session(arguments);
        ASSERT_TRUE(session.started());
        EXPECT_EQ(session.finish(), c.status) << session.transcript();
        auto ended = session.eventsOf("ended");
        ASSERT_EQ(ended.size(), 1u) << session.transcript();
        EXPECT_EQ(ended[0]["cause"], c.cause) << session.transcript();
        EXPECT_EQ(ended[0]["status"], c.status);
        EXPECT_FALSE(ended[0].value("message", "").empty());
        EXPECT_EQ(session.events().back()["event"], "ended") << session.transcript();
        // Nothing but events on standard output, even when the page floods it.
        EXPECT_TRUE(session.eventsOf("notJson").empty());
    }
    // The crash kept what was printed before it, the half line too, and the
    // store write it made just before.
    ProtocolSession again({testPage("page-test-Crashes"), copy.path().string()});
    auto contents = again.waitFor("storeContents");
    ASSERT_TRUE(contents) << again.transcript();
    EXPECT_EQ((*contents)["contents"]["beforeTheCrash"], (Json{{"string", "kept"}}));
    again.finish();
    auto lines = consoleLines(again);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "stdout: about to crash"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "stdout: half a line|"), lines.end())
        << again.transcript();

    // A flood is cut off, not carried to the reader whole.
    auto flood = runHost("--console-limit 100000 " + testPage("page-test-Floods") + " " +
                         copy.path().string());
    EXPECT_EQ(flood.status, 70);
    EXPECT_LT(flood.out.size(), 400000u);
    EXPECT_TRUE(contains(flood.out, "host | ended (limit)")) << flood.out.substr(0, 300);
}

TEST(HostProtocolTest, CommandsSetTheModeTheStoreAndTheStatusAndStopTheRun) {
    DocumentCopy copy(GREETING_DOCUMENT, "commands");
    ProtocolSession session({testPage("page-test-KeepsRunning"), copy.path().string()});
    ASSERT_TRUE(session.started());
    auto hello = session.waitFor("hello");
    ASSERT_TRUE(hello) << session.transcript();
    EXPECT_EQ((*hello)["protocol"], 1);
    ASSERT_TRUE(session.waitFor("running")) << session.transcript();

    session.send({{"command", "setMode"}, {"mode", "stepSlowly"}});
    auto mode = session.waitFor("executionMode");
    ASSERT_TRUE(mode) << session.transcript();
    EXPECT_EQ((*mode)["mode"], "stepSlowly");

    session.send(
        {{"command", "seedStore"},
         {"contents", {{"lesson", {{"integer", 3}}}, {"ratio", {{"floatingPoint", 0.1}}}}}});
    auto seeded = session.waitFor("storeContents");
    ASSERT_TRUE(seeded) << session.transcript();
    EXPECT_EQ((*seeded)["contents"]["lesson"], (Json{{"integer", 3}}));
    EXPECT_EQ((*seeded)["contents"]["ratio"].dump(), R"({"floatingPoint":0.1})");

    session.send({{"command", "setStoreValue"}, {"key", "name"}, {"value", {{"string", "Ada"}}}});
    session.send({{"command", "setStoreValue"}, {"key", "lesson"}, {"value", nullptr}});
    session.waitFor("storeContents");
    auto changed = session.waitFor("storeContents");
    ASSERT_TRUE(changed) << session.transcript();
    EXPECT_EQ((*changed)["contents"],
              (Json{{"name", {{"string", "Ada"}}}, {"ratio", {{"floatingPoint", 0.1}}}}));

    // A status pushed in is taken without a word (the page does not post
    // it back); bad commands are refused and the run goes on.
    session.send({{"command", "setAssessmentStatus"},
                  {"status", {{"fail", {{"hints", {"look again"}}, {"solution", "42"}}}}}});
    session.send({{"command", "setAssessmentStatus"}, {"status", {{"pass", 3}}}});
    session.send({{"command", "setMode"}, {"mode", "fly"}});
    session.send({{"command", "setStoreValue"}, {"key", "k"}, {"value", {{"integer", "one"}}}});
    session.send({{"command", "dance"}});
    session.send({{"command", "seedStore"}, {"contents", {{"k", {{"date", "today"}}}}}});
    std::vector<Json> refused;
    for (int i = 0; i < 5; ++i) {
        auto error = session.waitFor("commandError");
        ASSERT_TRUE(error) << i << "\n" << session.transcript();
        EXPECT_FALSE(error->value("message", "").empty());
        refused.push_back((*error)["command"]);
    }
    EXPECT_EQ(refused[0]["status"], (Json{{"pass", 3}}));
    EXPECT_EQ(refused[3]["command"], "dance");

    session.send({{"command", "stop"}});
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    auto ended = session.eventsOf("ended");
    ASSERT_EQ(ended.size(), 1u) << session.transcript();
    EXPECT_EQ(ended[0]["cause"], "stopped");
    EXPECT_EQ(session.eventsOf("commandError").size(), 5u) << session.transcript();

    // What the commands put in the store was saved for the next run.
    ProtocolSession next(
        {"--timeout", "0.2", testPage("page-test-KeepsRunning"), copy.path().string()});
    auto kept = next.waitFor("storeContents");
    ASSERT_TRUE(kept) << next.transcript();
    EXPECT_EQ((*kept)["contents"]["name"], (Json{{"string", "Ada"}}));
    EXPECT_FALSE((*kept)["contents"].contains("lesson"));
    EXPECT_EQ(next.finish(), 124);
}

TEST(HostProtocolTest, CommandsSentBeforeTheStartApplyToTheFirstStatement) {
    ProtocolSession session({testPage("page-test-PrintsEverywhere"), document},
                            {Json{{"command", "setMode"}, {"mode", "runFastest"}}});
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    auto started = session.eventsOf("started");
    ASSERT_EQ(started.size(), 1u) << session.transcript();
    EXPECT_EQ(started[0]["mode"], "runFastest") << session.transcript();

    // A stop that is already waiting ends the run before the page starts.
    ProtocolSession stopped({testPage("page-test-KeepsRunning"), document},
                            {Json{{"command", "stop"}}});
    EXPECT_EQ(stopped.finish(), 0) << stopped.transcript();
    EXPECT_TRUE(stopped.eventsOf("started").empty()) << stopped.transcript();
    auto ended = stopped.eventsOf("ended");
    ASSERT_EQ(ended.size(), 1u) << stopped.transcript();
    EXPECT_EQ(ended[0]["cause"], "stopped");
}

TEST(HostCommandLineTest, HelpVersionAssignedValuesAndTheEndOfOptions) {
    auto help = runHost("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: corral-host", 0), 0u) << help.out;
    for (const char* option : {"--protocol", "--watch", "--store", "--timeout", "--page"})
        EXPECT_TRUE(contains(help.out, option)) << option;

    auto version = runHost("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("corral-host ", 0), 0u) << version.out;

    auto assigned = runHost("--timeout=0.3 --mode=step -- " + testPage("page-test-KeepsRunning") +
                            " " + document);
    EXPECT_EQ(assigned.status, 124) << assigned.out;
    EXPECT_TRUE(contains(assigned.out, "host | executionMode {\"mode\":\"step\"}")) << assigned.out;

    // A huge timeout is no timeout, not one that has already passed.
    auto huge =
        runHost("--timeout 1e300 " + testPage("page-test-PrintsEverywhere") + " " + document);
    EXPECT_EQ(huge.status, 0) << huge.out;

    for (const char* wrong : {"--timeout=-1 doc", "--timeout soon doc", "--frobnicate doc", "a b c",
                              "--watch " GREETING_PAGE " doc"}) {
        auto run = runHost(wrong);
        EXPECT_EQ(run.status, 64) << wrong << "\n" << run.out;
        EXPECT_TRUE(contains(run.out, "usage: corral-host")) << wrong << "\n" << run.out;
    }
}
