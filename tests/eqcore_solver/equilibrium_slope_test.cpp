// The slope of an equilibrium's enthalpy along T (the amounts following the
// equilibrium), which the enthalpy target's Newton steps take, against a
// central difference of two equilibria computed 0.01 K either side: gas
// mixtures that dissociate strongly (where it is far above the heat capacity
// at fixed amounts), an assemblage with a stoichiometric phase, and none
// where a present phase has a remainder.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "solver/workspace.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::constituent_of;
using eqcore::testing::example;

struct Slopes {
    double closed = 0.0;      // equilibrium_heat_capacity
    double difference = 0.0;  // (H(T + h) - H(T - h)) / 2h
    double fixed = 0.0;       // at fixed amounts
};

Slopes slopes_at(const System& sys, const EquilibriumProblem& pr, double T, double P) {
    detail::Workspace ws;
    std::string message;
    const std::vector<double> b = pr.elements();
    EXPECT_EQ(detail::prepare(ws, pr, b, message), SolverStatus::ok) << message;
    auto enthalpy_at = [&](double t, double* cp) {
        detail::set_conditions(ws, t, P);
        EXPECT_EQ(detail::solve_tp(ws, false, message), SolverStatus::ok) << message;
        return detail::equilibrium_enthalpy(ws, cp);
    };
    constexpr double h = 0.01;
    Slopes s;
    const double up = enthalpy_at(T + h, nullptr), down = enthalpy_at(T - h, nullptr);
    s.difference = (up - down) / (2.0 * h);
    enthalpy_at(T, &s.fixed);
    s.closed = detail::equilibrium_heat_capacity(ws, s.fixed);
    (void)sys;
    return s;
}

EquilibriumProblem feed(const System& sys, std::initializer_list<std::pair<const char*, double>> mol) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    for (const auto& [name, n] : mol) {
        const int g = constituent_of(sys, name);
        EXPECT_GE(g, 0) << name;
        int p = 0;
        while (sys.phases[static_cast<std::size_t>(p)].first + sys.phases[static_cast<std::size_t>(p)].count <= g) ++p;
        pr.add("feed", p, g - sys.phases[static_cast<std::size_t>(p)].first, n);
    }
    return pr;
}

TEST(EquilibriumSlope, IsTheDerivativeOfTheEquilibriumEnthalpyOfDissociatingGases) {
    const System chon = read_dat(example("c-h-o-n.dat"));
    const System ho = read_dat(example("h-o.dat"));
    struct Case {
        const System* sys;
        EquilibriumProblem pr;
        double T, P;
    };
    const Case cases[] = {
        {&chon, feed(chon, {{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}}), 2200.0, 1.0e5},
        {&chon, feed(chon, {{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}}), 3000.0, 1.0e4},
        {&chon, feed(chon, {{"CH4", 1.0}, {"O2", 1.5}, {"N2", 5.64}}), 1800.0, 1.0e6},
        {&ho, feed(ho, {{"H2", 2.0}, {"O2", 1.0}}), 3000.0, 1.0e5},
        {&ho, feed(ho, {{"H2", 1.0}, {"O2", 3.0}}), 3500.0, 2.0e5},
    };
    for (const Case& c : cases) {
        const Slopes s = slopes_at(*c.sys, c.pr, c.T, c.P);
        ASSERT_TRUE(std::isfinite(s.closed)) << c.T;
        EXPECT_NEAR(s.closed, s.difference, 1e-5 * s.difference) << "T " << c.T << " K";
        // The equilibrium shifts so as to take up heat: its slope is above
        // the one at fixed amounts.
        EXPECT_GT(s.closed, s.fixed) << "T " << c.T << " K";
    }
}

TEST(EquilibriumSlope, HoldsWithAStoichiometricPhasePresent) {
    // Methane with little oxygen at 1100 K: graphite separates from the gas.
    const System chon = read_dat(example("c-h-o-n.dat"));
    const EquilibriumProblem pr = feed(chon, {{"CH4", 1.0}, {"O2", 0.2}});
    const Slopes s = slopes_at(chon, pr, 1100.0, 1.0e5);
    ASSERT_TRUE(std::isfinite(s.closed));
    EXPECT_NEAR(s.closed, s.difference, 1e-5 * std::abs(s.difference));
}

TEST(EquilibriumSlope, IsNotClaimedWhereAPresentPhaseHasARemainder) {
    // Fe-C ferrite with a remainder: the closed form does not apply.
    const System fec = read_dat(example("fe-c.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(fec);
    pr.element_amount = {0.95, 0.05};
    detail::Workspace ws;
    std::string message;
    ASSERT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
    detail::set_conditions(ws, 950.0, 1.0e5);
    ASSERT_EQ(detail::solve_tp(ws, false, message), SolverStatus::ok) << message;
    double cp = 0.0;
    detail::equilibrium_enthalpy(ws, &cp);
    EXPECT_TRUE(std::isnan(detail::equilibrium_heat_capacity(ws, cp)));
}

}  // namespace
