#pragma once
// Solves the linear equality systems that layout constraints make, one axis
// at a time. Equations that fix one unknown at a time are solved by
// propagation; whatever couples several unknowns is solved by Gauss-Jordan
// elimination, separately for each group of connected variables.

#include <cstddef>
#include <vector>

namespace ui::detail {

struct LinearTerm {
    std::size_t variable;
    double coefficient;
};

// Σ coefficient × variable + constant = 0.
struct LinearEquation {
    std::vector<LinearTerm> terms;
    double constant = 0;
};

struct LinearSolution {
    static constexpr std::size_t noComponent = static_cast<std::size_t>(-1);

    std::vector<double> values;
    // The connected group of each variable and each equation (variables that
    // appear in one equation are connected). Equations without variables
    // have no component.
    std::vector<std::size_t> variableComponent;
    std::vector<std::size_t> equationComponent;
    // Variables that the equations left free: they keep their current value.
    std::vector<bool> undetermined;
    // Equations that cannot all hold. Each entry lists the equations of one
    // component (or one equation without variables); the variables of that
    // component keep their current values.
    std::vector<std::vector<std::size_t>> conflicts;
};

// `current` gives the number of variables and the value each keeps when it
// is left free or caught in a conflict.
LinearSolution solveLinearSystem(const std::vector<LinearEquation>& equations,
                                 const std::vector<double>& current);

}  // namespace ui::detail
