// An enthalpy condition solved from a held solution (which the search starts
// from, whatever the estimate) gives the cold calculation's answer: repeated
// on the same material, after a calculation at a temperature far on either
// side of the root, and after a calculation of other material.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::constituent_of;
using eqcore::testing::example;

EquilibriumProblem methane_air(const System& sys, double oxygen) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.add("fuel", 0, constituent_of(sys, "CH4"), 1.0);
    pr.add("air", 0, constituent_of(sys, "O2"), oxygen);
    pr.add("air", 0, constituent_of(sys, "N2"), 3.76 * oxygen);
    return pr;
}

Conditions adiabatic(double estimate) {
    Conditions c;
    c.T = estimate;
    c.P = 1.0e5;
    c.target.kind = TargetKind::enthalpy;
    c.target.value = 0.0;
    return c;
}

void expect_same(const EquilibriumResult& warm, const EquilibriumResult& cold, const std::string& what) {
    ASSERT_TRUE(warm.succeeded()) << what << ": " << warm.message;
    EXPECT_NEAR(warm.T, cold.T, 1e-9 * cold.T) << what;
    EXPECT_NEAR(warm.heat, 0.0, 1e-9 * std::abs(cold.H_in) + 1e-6) << what;
    // Every amount to 1e-7 relative (a trace follows the root T, which
    // either search may end anywhere within its tolerance).
    for (std::size_t g = 0; g < cold.amount.size(); ++g)
        EXPECT_NEAR(warm.amount[g], cold.amount[g], 1e-7 * cold.amount[g] + 1e-15) << what << " constituent " << g;
}

TEST(EnthalpyTargetStart, AHeldSolutionGivesTheColdAnswer) {
    const System sys = read_dat(example("c-h-o-n.dat"));
    for (double oxygen : {2.0, 1.4, 3.0}) {
        const EquilibriumProblem pr = methane_air(sys, oxygen);
        Solver cold_solver;
        const EquilibriumResult cold = cold_solver.equilibrate(pr, adiabatic(500.0));
        ASSERT_TRUE(cold.succeeded()) << cold.message;

        Solver solver;
        const std::string o = "O2 " + std::to_string(oxygen);
        solver.equilibrate(pr, adiabatic(500.0));
        expect_same(solver.equilibrate(pr, adiabatic(500.0)), cold, o + ", again");
        for (double T : {400.0, 5500.0}) {
            Conditions tp;
            tp.T = T;
            tp.P = 1.0e5;
            ASSERT_TRUE(solver.equilibrate(pr, tp).succeeded());
            expect_same(solver.equilibrate(pr, adiabatic(2000.0)), cold, o + ", after " + std::to_string(T) + " K");
        }
        // Other material first (its root lies elsewhere).
        ASSERT_TRUE(solver.equilibrate(methane_air(sys, oxygen == 2.0 ? 6.0 : 2.0), adiabatic(500.0)).succeeded());
        expect_same(solver.equilibrate(pr, adiabatic(500.0)), cold, o + ", after other material");
    }
}

}  // namespace
