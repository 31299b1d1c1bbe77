// The names and keys hosts observe are an interface: the constants must keep
// their text, whatever the code that posts them does.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Corral/PaddockNotifications.h"

TEST(NotificationNamesTest, ConstantsHoldTheTextHostsMatch) {
    namespace N = PaddockNotifications;
    const std::pair<const char*, const char*> expected[] = {
        {N::executionModeDidChange, "PaddockPageExecutionModeDidChangeNotification"},
        {N::needsIndefiniteExecutionDidChange,
         "PaddockPageNeedsIndefiniteExecutionDidChangeNotification"},
        {N::finishExecution, "PaddockPageFinishExecutionNotification"},
        {N::assessmentStatusDidChange, "PaddockPageAssessmentStatusDidChange"},
        {N::requestsToHandleLink, "PaddockPageRequestsToHandleLink"},
        {N::liveViewDidChange, "PaddockPageLiveViewDidChangeNotification"},
        {N::wantsFullScreenLiveViewDidChange, "PaddockPageWantsFullScreenLiveViewDidChange"},
        {N::keyValueStoreDidChange, "PaddockKeyValueStoreDidChange"},
        {N::Key::needsIndefiniteExecution, "PaddockPageNeedsIndefiniteExecution"},
        {N::Key::assessmentPassed, "PaddockPageAssessmentPassed"},
        {N::Key::assessmentPassedMessage, "PaddockPageAssessmentPassedMessage"},
        {N::Key::assessmentFailedHints, "PaddockPageAssessmentFailedHints"},
        {N::Key::assessmentFailedSolution, "PaddockPageAssessmentFailedSolution"},
        {N::Key::linkRequestPayload, "PaddockPageLinkRequestPayload"},
        {N::Key::showGlossaryLocation, "PaddockPageRequestsShowGlossaryLocation"},
        {N::Key::liveView, "PaddockPageLiveView"},
        {N::Key::liveViewController, "PaddockPageLiveViewController"},
        {N::Key::wantsFullScreenLiveView, "PaddockPageWantsFullScreenLiveView"},
        {N::Key::keyValueStoreChange, "PaddockKeyValueStoreChange"},
        {N::Key::changeKey, "Key"},
        {N::Key::changeValue, "Value"},
    };
    for (const auto& [constant, text] : expected) EXPECT_STREQ(constant, text);

    // allNames lists each notification once, in the order above.
    std::set<std::string> names(std::begin(N::allNames), std::end(N::allNames));
    EXPECT_EQ(names.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_STREQ(N::allNames[i], expected[i].second);
}
