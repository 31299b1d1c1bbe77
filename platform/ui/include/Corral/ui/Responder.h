#pragma once
// The root of everything that takes part in event handling: views, view
// controllers, the application and its delegate.

#include <string>

#include "Corral/base/Object.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class UI_EXPORT Responder : public base::Object {
public:
    ~Responder() override;

    // The next object in the chain: a view's view controller or superview,
    // a view controller's parent or the superview of its view, a window's
    // application. Empty at the end of the chain.
    virtual base::Ref<Responder> nextResponder() const;

    // The qualified C++ name of the dynamic type, such as "ui::View" or a
    // subclass's own name, so that dumps and messages show what an object is.
    std::string className() const override;
};

}  // namespace ui
