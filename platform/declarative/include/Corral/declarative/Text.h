#pragma once
// A run of text. It takes the size its text needs (see TextView) and is
// centred in the space it is given.

#include <string>

#include "Corral/declarative/AnyView.h"

namespace declarative {

class DECLARATIVE_EXPORT Text : public AnyView {
public:
    explicit Text(std::string content);
};

}  // namespace declarative
