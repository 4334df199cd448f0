// The properties the solver reports for each present phase (G, H, S, Cp and
// the constituents' potentials, filled from the values it holds at the
// final amounts) against a separate evaluation of the phase at the
// reported amounts, on a gas with traces down to 1e-20 of the total and on
// alloys with non-ideal solutions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "solver_test_util.hpp"
#include "thermo/phase_props.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::example;
using eqcore::testing::near_rel;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

void expect_phases_as_evaluated(const System& sys, const std::vector<double>& b, double T, double P) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = b;
    Conditions c;
    c.T = T;
    c.P = P;
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, c);
    ASSERT_TRUE(r.succeeded()) << r.message;
    const std::string at = " at " + std::to_string(T) + " K, " + std::to_string(P) + " Pa";
    int present = 0;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        const PhaseResult& pr_p = r.phases[static_cast<std::size_t>(p)];
        if (!pr_p.present) continue;
        ++present;
        const auto first = r.amount.begin() + ph.first;
        const std::vector<double> n(first, first + ph.count);
        std::vector<double> mu(n.size());
        const PhaseProps pp = phase_props(sys, p, T, P, n, mu);
        const double scale = std::abs(pp.G) + std::abs(T * pp.S) + 1e-300;
        EXPECT_TRUE(near_rel(pr_p.G, pp.G, 1e-12, 1e-13 * scale)) << ph.name << at;
        EXPECT_TRUE(near_rel(pr_p.H, pp.H, 1e-12, 1e-13 * scale)) << ph.name << at;
        EXPECT_TRUE(near_rel(pr_p.S, pp.S, 1e-12, 1e-13 * scale / T)) << ph.name << at;
        EXPECT_TRUE(near_rel(pr_p.Cp, pp.Cp, 1e-12)) << ph.name << at;
        for (int k = 0; k < ph.count; ++k) {
            if (n[static_cast<std::size_t>(k)] > 0.0 && ph.count > 1) {
                EXPECT_NEAR(r.mu[static_cast<std::size_t>(ph.first + k)], mu[static_cast<std::size_t>(k)],
                            1e-9 * kR * T)
                    << ph.name << " constituent " << k << at;
            }
        }
    }
    EXPECT_GT(present, 0);
}

TEST(ResultProperties, GasWithTracesMatchesASeparateEvaluation) {
    const System sys = read_dat(example("c-h-o-n.dat"));
    // Elements C H N O Ar: methane-air, a lean mixture (traces of the
    // carbon and hydrogen species far below the majors) and a rich one with
    // graphite.
    for (const std::vector<double>& b : {std::vector<double>{1.0, 4.0, 15.04, 4.0, 0.0},
                                         std::vector<double>{1e-6, 4e-6, 15.04, 4.0, 0.1},
                                         std::vector<double>{3.0, 4.0, 1.0, 1.0, 0.0}})
        for (double T : {600.0, 1500.0, 3000.0})
            for (double P : {1e4, 1e5, 1e7}) expect_phases_as_evaluated(sys, b, T, P);
}

TEST(ResultProperties, AlloySolutionsMatchASeparateEvaluation) {
    const System sys = read_dat(example("al-mg.dat"));
    for (const std::vector<double>& b : {std::vector<double>{0.3, 0.7}, std::vector<double>{0.9, 0.1}})
        for (double T : {600.0, 800.0, 1000.0}) expect_phases_as_evaluated(sys, b, T, 1e5);
}

// Every constituent the solver does not hold as an amount of a present
// phase (a constituent left out, one of an element not in the material, any
// of an absent phase) reports sum_j a_ij pi_j; those it holds report their
// phase's own potential. Gas constituents are left out at the start, in the
// middle and at the end of the gas, so that a potential given to the wrong
// constituent shows.
TEST(ResultProperties, EveryConstituentsPotential) {
    const System sys = read_dat(example("c-h-o-n.dat"));
    const Phase& gas = sys.phases[0];
    for (const std::vector<int>& out : {std::vector<int>{}, std::vector<int>{0}, std::vector<int>{3, 4, 9},
                                        std::vector<int>{gas.count - 2}})
        for (const std::vector<double>& b :
             {std::vector<double>{1.0, 4.0, 15.04, 4.0, 0.0}, std::vector<double>{3.0, 4.0, 1.0, 1.0, 0.2}})
            for (double T : {700.0, 2500.0}) {
                EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
                pr.element_amount = b;
                for (int k : out) pr.constituent_entered[static_cast<std::size_t>(gas.first + k)] = 0;
                Conditions c;
                c.T = T;
                Solver solver;
                const EquilibriumResult r = solver.equilibrate(pr, c);
                ASSERT_TRUE(r.succeeded()) << r.message;
                ASSERT_TRUE(r.phases[0].present);
                std::vector<double> mu(sz(gas.count));
                const auto first = r.amount.begin() + gas.first;
                phase_props(sys, 0, T, c.P, std::vector<double>(first, first + gas.count), mu);
                for (std::size_t g = 0; g < sys.constituents.size(); ++g) {
                    const Constituent& con = sys.constituents[g];
                    double api = 0.0;
                    bool carried = true;
                    for (std::size_t j = 0; j < sys.elements.size(); ++j) {
                        api += con.stoich[j] * r.element_potential[j];
                        carried = carried && (con.stoich[j] == 0.0 || b[j] > 0.0);
                    }
                    const bool held = con.phase == 0 && r.amount[g] > 0.0;
                    const bool left_out = pr.constituent_entered[g] == 0 || !carried;
                    if (held) {
                        EXPECT_NEAR(r.mu[g], mu[g - sz(gas.first)], 1e-9 * kR * T) << con.name << " at " << T << " K";
                    } else if (left_out || !r.phases[sz(con.phase)].present) {
                        EXPECT_NEAR(r.mu[g], api, 1e-12 * (std::abs(api) + kR * T)) << con.name << " at " << T << " K";
                    }
                }
            }
}

}  // namespace
