#include "LinearSystem.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <numeric>

namespace ui::detail {

namespace {

constexpr double coefficientEpsilon = 1e-12;
constexpr double pivotEpsilon = 1e-9;
constexpr double residualTolerance = 1e-6;

// Terms merged by variable, with negligible coefficients dropped.
LinearEquation normalised(const LinearEquation& equation) {
    std::map<std::size_t, double> sums;
    for (const auto& term : equation.terms) sums[term.variable] += term.coefficient;
    LinearEquation result{{}, equation.constant};
    for (const auto& [variable, coefficient] : sums) {
        if (std::fabs(coefficient) > coefficientEpsilon)
            result.terms.push_back({variable, coefficient});
    }
    return result;
}

class DisjointSets {
public:
    explicit DisjointSets(std::size_t count) : parent_(count) {
        std::iota(parent_.begin(), parent_.end(), std::size_t{0});
    }
    std::size_t find(std::size_t x) {
        while (parent_[x] != x) x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    void unite(std::size_t a, std::size_t b) { parent_[find(a)] = find(b); }

private:
    std::vector<std::size_t> parent_;
};

class Solver {
public:
    Solver(const std::vector<LinearEquation>& equations, const std::vector<double>& current)
        : current_(current), known_(current.size(), false) {
        for (const auto& equation : equations) rows_.push_back(normalised(equation));
        solution_.values = current;
        solution_.undetermined.assign(current.size(), false);
    }

    LinearSolution solve() {
        findComponents();
        propagate();
        eliminateRemaining();
        for (std::size_t v = 0; v < current_.size(); ++v) {
            if (!known_[v]) solution_.undetermined[v] = true;
        }
        verify();
        return std::move(solution_);
    }

private:
    void findComponents() {
        DisjointSets sets(current_.size());
        for (const auto& row : rows_) {
            for (const auto& term : row.terms)
                sets.unite(row.terms.front().variable, term.variable);
        }
        std::map<std::size_t, std::size_t> ids;
        solution_.variableComponent.resize(current_.size());
        for (std::size_t v = 0; v < current_.size(); ++v) {
            auto [it, added] = ids.emplace(sets.find(v), ids.size());
            solution_.variableComponent[v] = it->second;
        }
        for (const auto& row : rows_) {
            solution_.equationComponent.push_back(
                row.terms.empty() ? LinearSolution::noComponent
                                  : solution_.variableComponent[row.terms.front().variable]);
        }
    }

    // The constant plus every known term.
    double knownPart(const LinearEquation& row) const {
        double sum = row.constant;
        for (const auto& term : row.terms) {
            if (known_[term.variable]) sum += term.coefficient * solution_.values[term.variable];
        }
        return sum;
    }

    // Solves every equation that has exactly one unknown left, repeatedly.
    void propagate() {
        std::vector<std::vector<std::size_t>> uses(current_.size());
        std::vector<std::size_t> unknown(rows_.size());
        std::deque<std::size_t> ready;
        for (std::size_t e = 0; e < rows_.size(); ++e) {
            unknown[e] = rows_[e].terms.size();
            for (const auto& term : rows_[e].terms) uses[term.variable].push_back(e);
            if (unknown[e] == 1) ready.push_back(e);
        }
        while (!ready.empty()) {
            std::size_t e = ready.front();
            ready.pop_front();
            if (unknown[e] != 1) continue;
            const auto& row = rows_[e];
            auto term = *std::find_if(row.terms.begin(), row.terms.end(),
                                      [&](const LinearTerm& t) { return !known_[t.variable]; });
            solution_.values[term.variable] = -knownPart(row) / term.coefficient;
            known_[term.variable] = true;
            for (std::size_t user : uses[term.variable]) {
                if (--unknown[user] == 1) ready.push_back(user);
            }
        }
    }

    // Gauss-Jordan elimination over the equations that still couple
    // several unknowns, one component at a time. Columns go in variable
    // order, so of two coupled variables the earlier one becomes the pivot
    // and the later one is the one left free.
    void eliminateRemaining() {
        std::map<std::size_t, std::vector<std::size_t>> byComponent;
        for (std::size_t e = 0; e < rows_.size(); ++e) {
            bool open = std::any_of(rows_[e].terms.begin(), rows_[e].terms.end(),
                                    [&](const LinearTerm& t) { return !known_[t.variable]; });
            if (open) byComponent[solution_.equationComponent[e]].push_back(e);
        }
        for (const auto& [component, equations] : byComponent) eliminate(equations);
    }

    void eliminate(const std::vector<std::size_t>& equations) {
        std::vector<std::size_t> columns;
        for (std::size_t e : equations) {
            for (const auto& term : rows_[e].terms) {
                if (!known_[term.variable]) columns.push_back(term.variable);
            }
        }
        std::sort(columns.begin(), columns.end());
        columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
        const std::size_t width = columns.size();
        // Each row: the unknowns' coefficients, then the right-hand side.
        std::vector<std::vector<double>> matrix;
        for (std::size_t e : equations) {
            std::vector<double> row(width + 1, 0.0);
            for (const auto& term : rows_[e].terms) {
                if (known_[term.variable]) continue;
                auto column = std::lower_bound(columns.begin(), columns.end(), term.variable);
                row[static_cast<std::size_t>(column - columns.begin())] = term.coefficient;
            }
            row[width] = -knownPart(rows_[e]);
            matrix.push_back(std::move(row));
        }
        std::vector<std::size_t> pivotRow(width, LinearSolution::noComponent);
        std::size_t next = 0;
        for (std::size_t c = 0; c < width && next < matrix.size(); ++c) {
            std::size_t best = next;
            for (std::size_t r = next + 1; r < matrix.size(); ++r) {
                if (std::fabs(matrix[r][c]) > std::fabs(matrix[best][c])) best = r;
            }
            if (std::fabs(matrix[best][c]) < pivotEpsilon) continue;
            std::swap(matrix[best], matrix[next]);
            const double pivot = matrix[next][c];
            for (double& x : matrix[next]) x /= pivot;
            for (std::size_t r = 0; r < matrix.size(); ++r) {
                if (r == next || matrix[r][c] == 0) continue;
                const double factor = matrix[r][c];
                for (std::size_t k = 0; k <= width; ++k) matrix[r][k] -= factor * matrix[next][k];
            }
            pivotRow[c] = next++;
        }
        // Free columns keep their current values; pivots follow from them.
        for (std::size_t c = 0; c < width; ++c) {
            if (pivotRow[c] != LinearSolution::noComponent) continue;
            solution_.undetermined[columns[c]] = true;
            known_[columns[c]] = true;
        }
        for (std::size_t c = 0; c < width; ++c) {
            if (pivotRow[c] == LinearSolution::noComponent) continue;
            const auto& row = matrix[pivotRow[c]];
            double value = row[width];
            for (std::size_t f = 0; f < width; ++f) {
                if (pivotRow[f] == LinearSolution::noComponent) {
                    value -= row[f] * solution_.values[columns[f]];
                }
            }
            solution_.values[columns[c]] = value;
            known_[columns[c]] = true;
        }
    }

    // Checks every equation against the values found; a component with an
    // equation that does not hold is a conflict and keeps its current values.
    void verify() {
        std::map<std::size_t, bool> failedComponents;
        for (std::size_t e = 0; e < rows_.size(); ++e) {
            double residual = rows_[e].constant;
            double scale = std::fabs(rows_[e].constant);
            for (const auto& term : rows_[e].terms) {
                double part = term.coefficient * solution_.values[term.variable];
                residual += part;
                scale += std::fabs(part);
            }
            if (std::isfinite(residual) && std::fabs(residual) <= residualTolerance * (1 + scale)) {
                continue;
            }
            std::size_t component = solution_.equationComponent[e];
            if (component == LinearSolution::noComponent) {
                solution_.conflicts.push_back({e});
            } else {
                failedComponents[component] = true;
            }
        }
        for (const auto& [component, failed] : failedComponents) {
            std::vector<std::size_t> members;
            for (std::size_t e = 0; e < rows_.size(); ++e) {
                if (solution_.equationComponent[e] == component) members.push_back(e);
            }
            solution_.conflicts.push_back(std::move(members));
            for (std::size_t v = 0; v < current_.size(); ++v) {
                if (solution_.variableComponent[v] != component) continue;
                solution_.values[v] = current_[v];
                solution_.undetermined[v] = false;
            }
        }
    }

    const std::vector<double>& current_;
    std::vector<LinearEquation> rows_;
    std::vector<bool> known_;
    LinearSolution solution_;
};

}  // namespace

LinearSolution solveLinearSystem(const std::vector<LinearEquation>& equations,
                                 const std::vector<double>& current) {
    return Solver(equations, current).solve();
}

}  // namespace ui::detail
