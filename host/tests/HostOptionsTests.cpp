#include <gtest/gtest.h>

#include <limits>

#include "Deadline.h"
#include "HostOptions.h"

using host::parseHostOptions;

TEST(HostOptionsTest, ParsesEveryOptionBothSpellingsAndTheOperands) {
    std::string error;
    auto options = parseHostOptions({"--protocol",
                                     "--mode",
                                     "stepSlowly",
                                     "--timeout=2.5",
                                     "--live-view",
                                     "viewer",
                                     "--store=/tmp/s.plist",
                                     "--page",
                                     "Loops",
                                     "--cpu-limit",
                                     "3",
                                     "--memory-limit=512",
                                     "--open-files-limit",
                                     "64",
                                     "--console-limit",
                                     "1000",
                                     "--cache",
                                     "/tmp/c",
                                     "page.so",
                                     "--",
                                     "-Doc.paddock"},
                                    error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->protocol);
    EXPECT_EQ(options->mode, "stepSlowly");
    EXPECT_EQ(options->timeoutSeconds, 2.5);
    EXPECT_EQ(options->liveViewApplication, "viewer");
    EXPECT_EQ(options->storePath, "/tmp/s.plist");
    EXPECT_EQ(options->page, "Loops");
    EXPECT_EQ(options->limits.cpuSeconds, 3);
    EXPECT_EQ(options->limits.memoryMiB, 512);
    EXPECT_EQ(options->limits.openFiles, 64);
    EXPECT_EQ(options->limits.consoleBytes, 1000);
    EXPECT_EQ(options->cacheFolder, "/tmp/c");
    EXPECT_EQ(options->pageModule, "page.so");
    EXPECT_EQ(options->document, "-Doc.paddock");  // after "--", an operand

    auto fromSource = parseHostOptions({"--json", "--watch", "D"}, error);
    ASSERT_TRUE(fromSource) << error;
    EXPECT_TRUE(fromSource->protocol);
    EXPECT_TRUE(fromSource->watch);
    EXPECT_EQ(fromSource->mode, "run");
    EXPECT_TRUE(fromSource->pageModule.empty());
    EXPECT_EQ(fromSource->document, "D");
    EXPECT_FALSE(fromSource->timeoutSeconds);
    EXPECT_GT(fromSource->limits.consoleBytes, 0);

    auto help = parseHostOptions({"--help"}, error);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->help);
    EXPECT_EQ(host::hostHelp().rfind("usage: corral-host", 0), 0u);
    EXPECT_NE(host::hostHelp().find("--protocol"), std::string::npos);
    ASSERT_TRUE(parseHostOptions({"--version"}, error));
    EXPECT_EQ(host::hostVersion().rfind("corral-host ", 0), 0u);
}

TEST(HostOptionsTest, RejectsBadInputWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"p.so", "D", "extra"},
        {"--mode", "walk", "D"},
        {"--timeout", "-1", "D"},
        {"--timeout", "soon", "D"},
        {"--timeout", "nan", "D"},
        {"--timeout"},
        {"--cpu-limit", "-2", "D"},
        {"--verbose", "D"},
        {"--watch", "p.so", "D"},
    };
    for (const auto& arguments : bad) {
        std::string error;
        EXPECT_FALSE(parseHostOptions(arguments, error))
            << (arguments.empty() ? "(none)" : arguments[0]);
        EXPECT_FALSE(error.empty());
    }
}

TEST(HostOptionsTest, ServeTakesItsOwnOptionsAndPassesTheRunOptionsOnWithLimits) {
    std::string error;
    auto options = parseHostOptions(
        {"serve", "--port=8080", "--store", "/tmp/s.plist", "--cpu-limit", "5", "--", "-Doc"},
        error);
    ASSERT_TRUE(options) << error;
    ASSERT_TRUE(options->serve);
    EXPECT_EQ(options->serve->port, 8080);
    EXPECT_EQ(options->serve->address, "127.0.0.1");
    EXPECT_EQ(options->document, "-Doc");
    const std::vector<std::string> expected = {
        "--store",         "/tmp/s.plist", "--cpu-limit",        "5",
        "--memory-limit",  "1024",         "--open-files-limit", "256",
        "--console-limit", "8388608"};
    EXPECT_EQ(host::runArguments(*options), expected);

    // Without serve, no limit unless one is asked for.
    auto plain = parseHostOptions({"--timeout", "0.5", "D"}, error);
    ASSERT_TRUE(plain) << error;
    EXPECT_FALSE(plain->serve);
    EXPECT_EQ(host::runArguments(*plain)[1], "0.5");
    EXPECT_EQ(plain->limits.cpuSeconds, 0);

    auto everywhere = parseHostOptions({"--host", "::1", "serve", "--memory-limit=0", "D"}, error);
    EXPECT_FALSE(everywhere) << "--host belongs to serve";
    auto listening = parseHostOptions({"serve", "--host", "::1", "--memory-limit=0", "D"}, error);
    ASSERT_TRUE(listening) << error;
    EXPECT_EQ(listening->serve->address, "::1");
    EXPECT_EQ(listening->limits.memoryMiB, 0);

    EXPECT_NE(host::hostHelp().find("serve"), std::string::npos);
    EXPECT_NE(host::serveHelp().find("--port"), std::string::npos);
    auto help = parseHostOptions({"serve", "--help"}, error);
    ASSERT_TRUE(help && help->help && help->serve);

    const std::vector<std::vector<std::string>> bad = {
        {"serve"},
        {"serve", "A", "B"},
        {"serve", "--mode", "step", "D"},
        {"serve", "--watch", "D"},
        {"serve", "--port", "70000", "D"},
        {"serve", "--port", "http", "D"},
        {"p.so", "serve", "D"},
    };
    for (const auto& arguments : bad) {
        EXPECT_FALSE(parseHostOptions(arguments, error)) << arguments[1];
    }
}

TEST(DeadlineTest, HugeTimeoutsSaturateInsteadOfWrappingIntoThePast) {
    auto now = host::SteadyClock::now();
    for (double seconds : {1e10, 1e18, 1e300, std::numeric_limits<double>::infinity()}) {
        auto deadline = host::deadlineAfter(seconds, now);
        EXPECT_GT(deadline, now + std::chrono::hours(24 * 365)) << seconds;
        EXPECT_NE(host::pollTimeout(deadline, now), 0) << seconds;
    }
    EXPECT_EQ(host::deadlineAfter(0.25, now) - now, std::chrono::milliseconds(250));
    EXPECT_EQ(host::pollTimeout(now + std::chrono::microseconds(1500), now), 2);
    EXPECT_EQ(host::pollTimeout(now - std::chrono::seconds(1), now), 0);
    EXPECT_EQ(host::pollTimeout(host::SteadyClock::time_point::max(), now), -1);
}
