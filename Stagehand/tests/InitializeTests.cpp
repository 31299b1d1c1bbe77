#include <gtest/gtest.h>

#include "Corral/PaddockLiveViewMessageHandler.h"
#include "Corral/Stagehand/SGHInitialize.h"
#include "Corral/base/Print.h"
#include "Corral/testing/Recorders.h"

namespace {
struct Handler : PaddockLiveViewMessageHandler {};

// How many diagnostics one send writes.
int diagnosticsWrittenBySend() {
    testing_support::LogRecorder diagnostics("Diagnostics");
    Handler().send(PaddockValue::string("to nobody"));
    return static_cast<int>(diagnostics.entries.size());
}
}  // namespace

TEST(InitializeDeathTest, AfterInitialisationSentMessagesAreDiscardedQuietly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process: no sender yet
    EXPECT_EXIT(
        {
            // Without a sender, a send is dropped with a diagnostic; once
            // SGHInitialize has installed its discarding sender there is none.
            int before = diagnosticsWrittenBySend();
            SGHInitialize();
            int after = diagnosticsWrittenBySend();
            bool forwarding = base::_paddockPrintHook().get() != nullptr;
            std::exit(before == 1 && after == 0 && forwarding ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
