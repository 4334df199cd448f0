// The solver keeps the standard values of the temperature before the current
// one and swaps them back when a calculation returns to it. Whatever the
// order of temperatures, pressures and materials, every calculation must be
// the one a fresh solver makes at its conditions: compared here bit for bit,
// on a gas with condensed phases and on an alloy whose solution phases have
// temperature-dependent interaction parameters (held beside the standard
// values).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::example;

struct State {
    double T, P;
    std::vector<double> b;  // element amounts
};

EquilibriumResult fresh(const EquilibriumProblem& pr, const State& s) {
    Solver solver;
    Conditions c;
    c.T = s.T;
    c.P = s.P;
    EquilibriumProblem p = pr;
    p.element_amount = s.b;
    return solver.equilibrate(p, c);
}

void expect_same(const EquilibriumResult& r, const EquilibriumResult& ref, const std::string& where) {
    ASSERT_TRUE(r.succeeded()) << where << ": " << r.message;
    ASSERT_TRUE(ref.succeeded()) << where << ": " << ref.message;
    EXPECT_EQ(r.G, ref.G) << where;
    EXPECT_EQ(r.H, ref.H) << where;
    EXPECT_EQ(r.S, ref.S) << where;
    EXPECT_EQ(r.Cp, ref.Cp) << where;
    EXPECT_EQ(r.amount, ref.amount) << where;
    EXPECT_EQ(r.element_potential, ref.element_potential) << where;
    // The constituents' potentials and activities, absent phases' included
    // (from their end members' standard values where a phase has
    // sublattices).
    EXPECT_EQ(r.mu, ref.mu) << where;
    EXPECT_EQ(r.activity, ref.activity) << where;
    EXPECT_EQ(r.mole_fraction, ref.mole_fraction) << where;
}

// Runs the states in order on one solver (each from a cold start, so that
// only the values the solver holds between calculations can differ).
void expect_fresh_results(const System& sys, const std::vector<State>& states) {
    const EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    Solver solver;
    for (std::size_t i = 0; i < states.size(); ++i) {
        const State& s = states[i];
        EquilibriumProblem p = pr;
        p.element_amount = s.b;
        Conditions c;
        c.T = s.T;
        c.P = s.P;
        solver.forget();
        const EquilibriumResult r = solver.equilibrate(p, c);
        expect_same(r, fresh(pr, s), "state " + std::to_string(i) + " at " + std::to_string(s.T) + " K");
    }
}

TEST(HeldStandardValues, ReturningToATemperatureGivesTheFreshResultInAGas) {
    const System sys = read_dat(example("c-h-o-n.dat"));
    // Elements C H N O Ar; methane-air, then the same at other conditions,
    // back and forth between two temperatures, a pressure change alone, and
    // a material without carbon (another reduction of the problem) between.
    const std::vector<double> air = {1.0, 4.0, 15.04, 4.0, 0.0};
    const std::vector<double> no_carbon = {0.0, 4.0, 15.04, 4.0, 0.0};
    expect_fresh_results(sys, {{2000.0, 1e5, air},
                               {2010.0, 1e5, air},
                               {2000.0, 1e5, air},
                               {2000.0, 3e6, air},
                               {2010.0, 3e6, air},
                               {2000.0, 1e5, air},
                               {900.0, 1e5, no_carbon},
                               {2000.0, 1e5, air},
                               {900.0, 1e5, air},
                               {2000.0, 1e5, air}});
}

TEST(HeldStandardValues, ReturningToATemperatureGivesTheFreshResultInAnAlloy) {
    const System sys = read_dat(example("al-mg.dat"));
    const std::vector<double> rich = {0.3, 0.7}, lean = {0.9, 0.1};
    expect_fresh_results(sys, {{700.0, 1e5, rich},
                               {900.0, 1e5, rich},
                               {700.0, 1e5, rich},
                               {700.0, 1e5, lean},
                               {900.0, 1e5, lean},
                               {600.0, 1e5, rich},
                               {900.0, 1e5, rich},
                               {600.0, 1e5, lean}});
}

// Sublattice phases whose end members are not their variables: the end
// members' standard values are held per temperature as well.
TEST(HeldStandardValues, ReturningToATemperatureGivesTheFreshResultWithSublattices) {
    const System sys = read_dat(example("zr-h.dat"));
    const std::vector<double> hydride = {0.8, 0.2}, rich = {0.4, 0.6};
    expect_fresh_results(sys, {{600.0, 1e5, hydride},
                               {610.0, 1e5, hydride},
                               {600.0, 1e5, hydride},
                               {900.0, 1e5, rich},
                               {610.0, 1e5, hydride},
                               {600.0, 1e5, rich},
                               {900.0, 1e5, hydride}});
}

}  // namespace
