#pragma once
// Stacks arrange their children. Column puts them one below the other, the
// first at the top; Row puts them side by side, the first at the leading
// edge (the right edge in a right-to-left layout). `spacing` separates
// neighbours. Children that stretch (such as Fill) share equally the length
// the others leave; the rest take what they need; across the stack each
// child is centred. Overlay puts its children on top of each other, each
// centred, the last in front.

#include <vector>

#include "Corral/declarative/AnyView.h"

namespace declarative {

class DECLARATIVE_EXPORT Column : public AnyView {
public:
    explicit Column(std::vector<AnyView> children, double spacing = 8);
};

class DECLARATIVE_EXPORT Row : public AnyView {
public:
    explicit Row(std::vector<AnyView> children, double spacing = 8);
};

class DECLARATIVE_EXPORT Overlay : public AnyView {
public:
    explicit Overlay(std::vector<AnyView> children);
};

}  // namespace declarative
