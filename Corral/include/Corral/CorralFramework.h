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
#include "base/Block.h"
#include "base/Object.h"

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

    static void setExecutionModeToRun();
    static void setExecutionModeToRunFaster();
    static void setExecutionModeToRunFastest();
    static void setExecutionModeToStep();
    static void setExecutionModeToStepSlowly();

    // `block` takes one string object. It replaces the previous console hook;
    // nothing removes it.
    static void setPaddockConsolePrintHook(const base::Ref<base::Block>& block);

    CorralFramework() = default;
    std::string className() const override { return runtimeName; }
};
