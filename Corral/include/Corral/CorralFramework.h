#pragma once
// The host bridge. A host drives Corral through the class methods of this
// class, which the object runtime knows under the exact name
// "_CorralFramework": a host looks the class up by that name and calls each
// entry by its selector string, for example
//
//     base::Runtime::shared().lookUpClass("_CorralFramework")
//         ->send("setExecutionModeToStep");
//
// Code that links Corral may also call the static members directly. The C++
// spelling drops the leading underscore because a name that begins with an
// underscore and an upper-case letter is reserved in C++.
//
// No entry returns a value or reports an error; all run synchronously on the
// caller's thread and take no lock, so a host must not call them while page
// code uses the page on another thread.

#include <string>

#include "Corral/CorralExport.h"
#include "Corral/base/Block.h"
#include "Corral/base/Dictionary.h"
#include "Corral/base/Object.h"
#include "Corral/base/String.h"

class CORRAL_EXPORT CorralFramework final : public base::Object {
public:
    static constexpr const char* runtimeName = "_CorralFramework";

    // Installs the print forwarder as the runtime print hook: from then on
    // every print is written to the unified log, passed to the print hook
    // that was installed before, and passed to the host's console hook.
    static void initializeCorralFramework();

    // `block` takes one object (a live-view message in object representation)
    // and returns nothing. It becomes the page's outgoing message channel,
    // replacing the one before; nothing removes it.
    static void setLiveViewMessageSender(const base::Ref<base::Block>& block);

    // Source providers. Each block replaces the provider installed before;
    // nothing restores the default.
    // `block` takes nothing and returns a string object (null reads as "").
    static void setPaddockPageTextProvider(const base::Ref<base::Block>& block);
    // `block` takes nothing and returns an array object of string objects.
    static void setUserModuleNamesProvider(const base::Ref<base::Block>& block);
    // `block` takes a module name and returns an array object of string objects.
    static void setUserModuleSourceFileListProvider(const base::Ref<base::Block>& block);
    // `block` takes a file name and a module name and returns a string object
    // or null.
    static void setUserModuleSourceFileTextProvider(const base::Ref<base::Block>& block);
    // Replaces the whole key-value store with `contents`, a dictionary whose
    // keys are string objects and whose values are in the object
    // representation. An entry whose value does not convert, or whose key is
    // not a string object, is left out on its own. Posts nothing.
    static void setContentsOfCurrentKeyValueStore(const base::Ref<base::Dictionary>& contents);
    // Sets one store entry to the value `value` represents; a value that does
    // not convert (the null object, for one) removes the entry. Posts nothing.
    static void setCurrentKeyValueStoreValue(const base::ObjectRef& value,
                                             const base::Ref<base::String>& key);
    // Sets the page's assessment status from its pushed dictionary form
    // {"Status": "Pass" | "Fail", "Message", "Hints", "Solution"}; nil, or an
    // object outside the object representation, clears it. A status that
    // converts but is malformed leaves the previous status in place and
    // writes one entry to the unified log (category "Diagnostics"). Posts
    // nothing.
    static void setAssessmentStatus(const base::ObjectRef& status);

    static void setExecutionModeToRun();
    static void setExecutionModeToRunFaster();
    static void setExecutionModeToRunFastest();
    static void setExecutionModeToStep();
    static void setExecutionModeToStepSlowly();

    // Remote live view. With `available` true, a new remote live-view proxy
    // becomes the page's live view, silently, unless a proxy is the live
    // view already (it then stays, with its delegate). With false, a proxy
    // that is the live view is removed, which posts one live-view change
    // with an empty user info; any other live view stays. The runtime entry
    // "setRemoteLiveViewIsAvailable:" takes a boolean number object.
    // The host opens the message connection before announcing a remote
    // live view, and does not report the opening while a proxy is the live
    // view (that stops the process).
    static void setRemoteLiveViewIsAvailable(bool available);
    // Tell the page's live view, when it handles live-view messages, that the
    // message connection opened or closed; otherwise nothing happens.
    static void liveViewMessageConnectionOpened();
    static void liveViewMessageConnectionClosed();
    // Hands `message` (object representation) to the page's live view when it
    // handles live-view messages. A message without a PaddockValue form, or
    // with no such live view, is dropped silently.
    static void deliverLiveViewMessage(const base::ObjectRef& message);

    // `block` takes one string object. It replaces the previous console hook;
    // nothing removes it.
    static void setPaddockConsolePrintHook(const base::Ref<base::Block>& block);

    CorralFramework() = default;
    std::string className() const override { return runtimeName; }
};
