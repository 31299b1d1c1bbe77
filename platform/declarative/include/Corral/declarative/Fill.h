#pragma once
// A colour that fills all the space it is offered.

#include "Corral/base/Object.h"
#include "Corral/declarative/AnyView.h"

namespace declarative {

class DECLARATIVE_EXPORT Fill : public AnyView {
public:
    explicit Fill(base::Ref<ui::Color> color);
};

}  // namespace declarative
