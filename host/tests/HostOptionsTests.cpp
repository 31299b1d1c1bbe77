#include <gtest/gtest.h>

#include "HostOptions.h"

using host::parseHostOptions;

TEST(HostOptionsTest, ParsesEveryOptionAndBothOperands) {
    std::string error;
    auto options = parseHostOptions({"--json", "--mode", "stepSlowly", "--timeout", "2.5",
                                     "--live-view", "viewer", "page.so", "Doc.paddock"},
                                    error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->json);
    EXPECT_EQ(options->modeSelector, "setExecutionModeToStepSlowly");
    EXPECT_EQ(options->timeoutSeconds, 2.5);
    EXPECT_EQ(options->liveViewApplication, "viewer");
    EXPECT_EQ(options->pageModule, "page.so");
    EXPECT_EQ(options->document, "Doc.paddock");

    auto plain = parseHostOptions({"p.so", "D"}, error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->modeSelector, "setExecutionModeToRun");
    EXPECT_FALSE(plain->timeoutSeconds);
}

TEST(HostOptionsTest, RejectsBadInputWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"p.so"},
        {"p.so", "D", "extra"},
        {"--mode", "walk", "p.so", "D"},
        {"--timeout", "-1", "p.so", "D"},
        {"--timeout", "soon", "p.so", "D"},
        {"--timeout"},
        {"--verbose", "p.so", "D"},
    };
    for (const auto& arguments : bad) {
        std::string error;
        EXPECT_FALSE(parseHostOptions(arguments, error)) << arguments[0];
        EXPECT_FALSE(error.empty());
    }
}
