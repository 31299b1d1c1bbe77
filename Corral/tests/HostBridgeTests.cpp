#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corral/CorralFramework.h"
#include "Corral/base/Exception.h"
#include "Corral/base/String.h"
#include "TestSupport.h"

TEST(HostBridgeTest, IsRegisteredUnderItsExactName) {
    EXPECT_NE(base::Runtime::shared().lookUpClass("_CorralFramework"), nullptr);
    EXPECT_EQ(base::Runtime::shared().lookUpClass("CorralFramework"), nullptr);
    EXPECT_EQ(bridge().name(), "_CorralFramework");
    for (const char* selector :
         {"initializeCorralFramework", "setPaddockConsolePrintHook:", "setExecutionModeToRun",
          "setExecutionModeToRunFaster", "setExecutionModeToRunFastest", "setExecutionModeToStep",
          "setExecutionModeToStepSlowly", "setContentsOfCurrentKeyValueStore:",
          "setCurrentKeyValueStoreValue:forKey:", "setAssessmentStatus:"}) {
        EXPECT_TRUE(bridge().respondsToSelector(selector)) << selector;
    }
}

TEST(HostBridgeTest, DeclaresEveryEntryInTheDocumentedOrder) {
    const std::vector<std::string> documented = {
        "initializeCorralFramework",
        "setLiveViewMessageSender:",
        "setPaddockPageTextProvider:",
        "setUserModuleNamesProvider:",
        "setUserModuleSourceFileListProvider:",
        "setUserModuleSourceFileTextProvider:",
        "setContentsOfCurrentKeyValueStore:",
        "setCurrentKeyValueStoreValue:forKey:",
        "setAssessmentStatus:",
        "setExecutionModeToRun",
        "setExecutionModeToRunFaster",
        "setExecutionModeToRunFastest",
        "setExecutionModeToStep",
        "setExecutionModeToStepSlowly",
        "setRemoteLiveViewIsAvailable:",
        "liveViewMessageConnectionOpened",
        "liveViewMessageConnectionClosed",
        "deliverLiveViewMessage:",
        "setPaddockConsolePrintHook:",
    };
    EXPECT_EQ(bridge().selectors(), documented);
}

TEST(HostBridgeTest, RejectsUnknownSelectorsAndArgumentsOfTheWrongKind) {
    EXPECT_THROW(bridge().send("setExecutionModeToWalk"), base::InvalidArgumentException);
    EXPECT_THROW(bridge().send("setPaddockConsolePrintHook:", {base::String::make("no block")}),
                 base::InvalidArgumentException);
    EXPECT_THROW(bridge().send("setPaddockConsolePrintHook:", {nullptr}),
                 base::InvalidArgumentException);
    EXPECT_THROW(bridge().send("setPaddockConsolePrintHook:"), base::InvalidArgumentException);
}
