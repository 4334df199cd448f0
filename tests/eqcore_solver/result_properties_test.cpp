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

}  // namespace
