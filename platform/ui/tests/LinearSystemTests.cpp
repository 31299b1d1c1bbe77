#include <gtest/gtest.h>

#include "LinearSystem.h"

using ui::detail::LinearEquation;
using ui::detail::LinearSolution;
using ui::detail::solveLinearSystem;

TEST(LinearSystemTest, SolvesChainsAndCoupledEquations) {
    // a = 10; b = a + 5; c + d = 20 and c - d = 4 (needs elimination);
    // e = 2 × e' style duplicates merge: 2e - e = 3.
    std::vector<LinearEquation> equations = {
        {{{0, 1}}, -10},         {{{1, 1}, {0, -1}}, -5}, {{{2, 1}, {3, 1}}, -20},
        {{{2, 1}, {3, -1}}, -4}, {{{4, 2}, {4, -1}}, -3},
    };
    auto solution = solveLinearSystem(equations, {0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(solution.values[0], 10);
    EXPECT_DOUBLE_EQ(solution.values[1], 15);
    EXPECT_DOUBLE_EQ(solution.values[2], 12);
    EXPECT_DOUBLE_EQ(solution.values[3], 8);
    EXPECT_DOUBLE_EQ(solution.values[4], 3);
    EXPECT_TRUE(solution.conflicts.empty());
    EXPECT_EQ(solution.undetermined, std::vector<bool>(5, false));
}

TEST(LinearSystemTest, AContradictionRevertsOnlyItsOwnComponent) {
    // x = 100 and x = 200 contradict; y = 7 stands alone and is solved.
    std::vector<LinearEquation> equations = {
        {{{0, 1}}, -100}, {{{0, 1}, {1, -1}}, 0},  // z = x, in the same component
        {{{0, 1}}, -200}, {{{2, 1}}, -7},
        {{}, 5},  // 5 = 0: a constraint between fixed items that does not hold
    };
    auto solution = solveLinearSystem(equations, {1, 2, 3});
    EXPECT_EQ(solution.values, (std::vector<double>{1, 2, 7}));
    ASSERT_EQ(solution.conflicts.size(), 2u);
    EXPECT_EQ(solution.conflicts[0], (std::vector<std::size_t>{4}));
    EXPECT_EQ(solution.conflicts[1], (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(solution.undetermined, std::vector<bool>(3, false));
}

TEST(LinearSystemTest, FreeVariablesKeepTheirValuesAndTheLaterOneIsLeftFree) {
    // p + s = 50 fixes neither alone: s (the later variable) keeps 8 and p
    // follows; q appears in no equation and keeps 4.
    std::vector<LinearEquation> equations = {{{{0, 1}, {1, 1}}, -50}};
    auto solution = solveLinearSystem(equations, {3, 8, 4});
    EXPECT_DOUBLE_EQ(solution.values[0], 42);
    EXPECT_DOUBLE_EQ(solution.values[1], 8);
    EXPECT_DOUBLE_EQ(solution.values[2], 4);
    EXPECT_EQ(solution.undetermined, (std::vector<bool>{false, true, true}));
    EXPECT_TRUE(solution.conflicts.empty());

    // Redundant but consistent equations are not a conflict.
    std::vector<LinearEquation> redundant = {{{{0, 1}, {1, 1}}, -10}, {{{0, 2}, {1, 2}}, -20}};
    auto again = solveLinearSystem(redundant, {0, 4});
    EXPECT_TRUE(again.conflicts.empty());
    EXPECT_DOUBLE_EQ(again.values[0] + again.values[1], 10);
}
