#pragma once
// A colour that fills all the space it is offered.

#include "base/Object.h"
#include "declarative/AnyView.h"

namespace declarative {

class DECLARATIVE_EXPORT Fill : public AnyView {
public:
    explicit Fill(base::Ref<ui::Color> color);
};

}  // namespace declarative
