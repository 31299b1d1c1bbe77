#pragma once
// The name of every notification the page and its key-value store post, and
// of every key of their user-info dictionaries, for hosts and tools that
// observe them. The strings are the interface: an observer may match them
// by their text as well.

namespace PaddockNotifications {

// Posted by the page.

// No user info.
inline constexpr char executionModeDidChange[] = "PaddockPageExecutionModeDidChangeNotification";
// User info: needsIndefiniteExecution (a boolean number).
inline constexpr char needsIndefiniteExecutionDidChange[] =
    "PaddockPageNeedsIndefiniteExecutionDidChangeNotification";
// No user info.
inline constexpr char finishExecution[] = "PaddockPageFinishExecutionNotification";
// User info: assessmentPassed and the message, or hints and solution, of the
// new status.
inline constexpr char assessmentStatusDidChange[] = "PaddockPageAssessmentStatusDidChange";
// User info: linkRequestPayload, and for a glossary entry shown at a place,
// showGlossaryLocation.
inline constexpr char requestsToHandleLink[] = "PaddockPageRequestsToHandleLink";
// User info: liveView or liveViewController, or empty when the live view was
// removed.
inline constexpr char liveViewDidChange[] = "PaddockPageLiveViewDidChangeNotification";
// User info: wantsFullScreenLiveView.
inline constexpr char wantsFullScreenLiveViewDidChange[] =
    "PaddockPageWantsFullScreenLiveViewDidChange";

// The keys of the page's user-info dictionaries.
namespace Key {
inline constexpr char needsIndefiniteExecution[] = "PaddockPageNeedsIndefiniteExecution";
inline constexpr char assessmentPassed[] = "PaddockPageAssessmentPassed";
inline constexpr char assessmentPassedMessage[] = "PaddockPageAssessmentPassedMessage";
inline constexpr char assessmentFailedHints[] = "PaddockPageAssessmentFailedHints";
inline constexpr char assessmentFailedSolution[] = "PaddockPageAssessmentFailedSolution";
inline constexpr char linkRequestPayload[] = "PaddockPageLinkRequestPayload";
inline constexpr char showGlossaryLocation[] = "PaddockPageRequestsShowGlossaryLocation";
inline constexpr char liveView[] = "PaddockPageLiveView";
inline constexpr char liveViewController[] = "PaddockPageLiveViewController";
inline constexpr char wantsFullScreenLiveView[] = "PaddockPageWantsFullScreenLiveView";
}  // namespace Key

// Posted by the key-value store.

// User info: keyValueStoreChange, a dictionary of changeKey and changeValue.
inline constexpr char keyValueStoreDidChange[] = "PaddockKeyValueStoreDidChange";

// The keys of the store's user-info dictionary.
namespace Key {
inline constexpr char keyValueStoreChange[] = "PaddockKeyValueStoreChange";
// Inside keyValueStoreChange: the key written and its new value (the null
// object for a removal).
inline constexpr char changeKey[] = "Key";
inline constexpr char changeValue[] = "Value";
}  // namespace Key

// Every notification above, in that order.
inline constexpr const char* allNames[] = {
    executionModeDidChange,
    needsIndefiniteExecutionDidChange,
    finishExecution,
    assessmentStatusDidChange,
    requestsToHandleLink,
    liveViewDidChange,
    wantsFullScreenLiveViewDidChange,
    keyValueStoreDidChange,
};

}  // namespace PaddockNotifications
