#pragma once
// The protocol events for what a page and its store announce.

#include <string>

#include "Corral/base/NotificationCenter.h"
#include "ProtocolValue.h"

namespace host {

// The event for a notification, or null for one that has no event of its
// own (the finish and live-view notifications, which the host acts on).
// `mode` is the execution mode now in force, by its name ("step").
Json eventForNotification(const base::Notification& notification, const std::string& mode);

// The status as the protocol gives it: null, {"pass":message-or-null} or
// {"fail":{"hints":[...],"solution":text-or-null}}, from the user info of
// "PaddockPageAssessmentStatusDidChange".
Json assessmentStatusFromUserInfo(const base::ObjectRef& userInfo);

// The reverse, for the "setAssessmentStatus" command: the dictionary object
// the bridge takes ("Status", "Message", "Hints", "Solution"), or an absent
// object for null. Nothing, with the reason in `error`, for anything else.
std::optional<base::ObjectRef> assessmentStatusObject(const Json& status, std::string& error);

// "%20" and the like decoded; a malformed escape is kept as it is.
std::string percentDecoded(const std::string& text);

}  // namespace host
