#pragma once
// What an application's delegate can be told. Every call has a default that
// does nothing (launching answers true), so a delegate overrides only what it
// needs. A delegate is usually also a Responder.

#include "Corral/base/Dictionary.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class Application;

class UI_EXPORT ApplicationDelegate {
public:
    virtual ~ApplicationDelegate();
    // The application finished launching; the options are empty when the
    // program was simply started.
    virtual bool application(Application& application,
                             const base::Ref<base::Dictionary>& launchOptions);
    virtual void applicationWillTerminate(Application& application);
};

}  // namespace ui
