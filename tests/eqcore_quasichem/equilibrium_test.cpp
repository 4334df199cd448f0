// Quasichemical liquids in equilibria: the worked examples through the
// solver (G of the system, the phases present, their amounts, quadruplet
// fractions), the acceptance check on each result, and a liquidus against
// an independent common-tangent computation.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "check/acceptance.hpp"
#include "qc_util.hpp"
#include "solver/solver.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

using testing::qc_load;
using testing::qc_phase;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

EquilibriumResult solve(Solver& s, const System& sys, const std::vector<double>& b, double T) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = b;
    Conditions c;
    c.T = T;
    EquilibriumResult r = s.equilibrate(pr, c);
    EXPECT_TRUE(r.succeeded()) << r.message;
    const AcceptanceReport rep = check_equilibrium(pr, r);
    EXPECT_TRUE(rep.ok) << rep.summary();
    return r;
}

// Quadruplet fractions of a present quasichemical phase.
std::vector<double> quad_fractions(const EquilibriumResult& r, int phase) {
    return r.phases[sz(phase)].site_fraction;
}

TEST(QuasichemEquilibrium, BinaryPairLiquidWithASolidReproducesTheWorkedExample) {
    const System sys = qc_load("qc_example_1.dat");
    const int liq = qc_phase(sys, "LIQ_Q1"), ga = qc_phase(sys, "Ga_s(s)"), gain2 = qc_phase(sys, "GaIn2_s(s)");
    struct Case {
        std::vector<double> b;
        double G;
        int solid;
        std::array<double, 3> x;
    };
    const Case cases[] = {{{0.7, 0.3}, -75148.740487, ga, {0.553055565, 0.032569737, 0.414374698}},
                          {{0.4, 0.6}, -76315.163521, gain2, {0.227165865, 0.158819645, 0.614014490}}};
    for (const Case& c : cases) {
        for (bool warm : {false, true}) {
            Solver s;
            if (warm) solve(s, sys, {0.5, 0.5}, 1000.0);
            const EquilibriumResult r = solve(s, sys, c.b, 1000.0);
            EXPECT_NEAR(r.G, c.G, 1e-8 * std::abs(c.G));
            for (int p = 0; p < sys.phase_count(); ++p)
                EXPECT_EQ(r.phases[sz(p)].present, p == liq || p == c.solid) << sys.phases[sz(p)].name;
            const std::vector<double> x = quad_fractions(r, liq);
            ASSERT_EQ(x.size(), 3u);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(x[sz(k)], c.x[sz(k)], 1e-6) << "quadruplet " << k;
            // The amounts from the element balance at the stated fractions:
            // Ga holds 2/6 and 1/6 per GaGa and GaIn quadruplet, In 2/8 and 1/4.
            const double nga = 2.0 * c.x[0] / 6.0 + c.x[2] / 6.0, nin = 2.0 * c.x[1] / 8.0 + c.x[2] / 4.0;
            double N = 0.0, solid = 0.0;
            if (c.solid == ga) {
                N = c.b[1] / nin;
                solid = c.b[0] - N * nga;
            } else {  // GaIn2: Ga = N nga + s, In = N nin + 2 s
                N = (c.b[1] - 2.0 * c.b[0]) / (nin - 2.0 * nga);
                solid = c.b[0] - N * nga;
            }
            EXPECT_NEAR(r.phases[sz(c.solid)].amount, solid, 1e-6);
            // The liquid's amount in end members (atoms here).
            EXPECT_NEAR(r.phases[sz(liq)].amount, N * (nga + nin), 1e-6);
        }
    }
}

TEST(QuasichemEquilibrium, LiquidOnlyExamplesThroughTheSolver) {
    {
        const System sys = qc_load("qc_example_2.dat");
        Solver s;
        const EquilibriumResult r = solve(s, sys, {0.2, 0.3, 0.5}, 1200.0);
        EXPECT_NEAR(r.G, -91672.846356, 1e-8 * 91672.846356);
        const double mu[] = {-95293.705736, -98829.881446, -85930.281551};
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(r.mu[sz(sys.phases[0].first + k)], mu[k], 1e-5);
    }
    {
        const System sys = qc_load("qc_example_3.dat");
        Solver s;
        const EquilibriumResult r = solve(s, sys, {1.0, 0.5, 0.8, 0.6}, 1500.0);
        EXPECT_NEAR(r.G, -969998.248278, 1e-8 * 969998.248278);
        const int liq = qc_phase(sys, "LIQ_Q3");
        const double x[] = {8.4366514251E-02, 9.0364492791E-03, 7.1368745697E-02, 0.18035027767, 3.8998474403E-02,
                            0.17395068989,    0.20189144611,    3.7545052186E-02, 0.20249235051};
        const std::vector<double> y = quad_fractions(r, liq);
        ASSERT_EQ(y.size(), 9u);
        for (int k = 0; k < 9; ++k) EXPECT_NEAR(y[sz(k)], x[k], 1e-6) << "quadruplet " << k;
        const double mu[] = {-697123.071, -1252741.807, -805086.599, -663582.264};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(r.mu[sz(sys.phases[sz(liq)].first + k)], mu[k], 2e-3);
        EXPECT_NEAR(r.phases[sz(liq)].amount, 1.1962689968, 1e-6);
    }
}

// The liquidus of Ga_s(s) in the binary pair liquid: the formation target
// against an independent computation of where the liquid's Ga potential,
// from G minimised by brute force over the mixed-pair amount and
// differentiated numerically, meets the solid's G (bisection on T).
TEST(QuasichemEquilibrium, LiquidusAgainstACommonTangentComputedHere) {
    const System sys = qc_load("qc_example_1.dat");
    const int liq = qc_phase(sys, "LIQ_Q1"), ga = qc_phase(sys, "Ga_s(s)");
    const QuasichemModel m(sys, liq);
    const double xga = 0.7;
    auto g_liquid = [&](double nga, double nin, double T) {
        auto at = [&](double nab) {
            const std::vector<double> v = {(nga - nab / 6.0) * 3.0, (nin - nab / 4.0) * 4.0, nab};
            return evaluate(m, T, 1e5, v).G;
        };
        double lo = 0.0, hi = std::min(6.0 * nga, 4.0 * nin);
        const double phi = (std::sqrt(5.0) - 1.0) / 2.0;
        for (int it = 0; it < 120; ++it) {
            const double a = hi - phi * (hi - lo), b = lo + phi * (hi - lo);
            if (at(a) < at(b)) hi = b;
            else lo = a;
        }
        return at(0.5 * (lo + hi));
    };
    auto excess_mu = [&](double T) {
        const double h = 1e-4;
        const double mu = (g_liquid(xga + h, 1 - xga, T) - g_liquid(xga - h, 1 - xga, T)) / (2 * h);
        return mu - standard(sys.constituent(ga, 0), T).g;
    };
    double lo = 1000.0, hi = 2000.0;
    // Below the liquidus the liquid of the feed's composition is
    // supersaturated in Ga (its potential above the solid's), above it not.
    ASSERT_GT(excess_mu(lo), 0.0);
    ASSERT_LT(excess_mu(hi), 0.0);
    while (hi - lo > 1e-4) {
        const double mid = 0.5 * (lo + hi);
        (excess_mu(mid) > 0.0 ? lo : hi) = mid;
    }
    const double T_tangent = 0.5 * (lo + hi);

    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {xga, 1 - xga};
    Conditions c;
    c.T = 1100.0;
    c.target.kind = TargetKind::formation;
    c.target.phase = ga;
    Solver s;
    const EquilibriumResult r = s.equilibrate(pr, c);
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, T_tangent, 0.01);
    EXPECT_TRUE(r.phases[sz(liq)].present);
    EXPECT_NEAR(r.phases[sz(ga)].amount, 0.0, 1e-9);
}

// " T 1531.0040123502456 b 3.17e-08 0 0.798 0 0.798": a state in a form that
// reproduces it (temperature and element amounts to all their digits).
std::string state(double T, const std::vector<double>& b) {
    char buf[40];
    std::snprintf(buf, sizeof buf, " T %.17g b", T);
    std::string s = buf;
    for (double x : b) {
        std::snprintf(buf, sizeof buf, " %.17g", x);
        s += buf;
    }
    return s;
}

// Random states over the example files and the oxide slag (four cations,
// a silica-like one in its own group, strong short-range order, solids):
// material as random positive amounts of the liquid's end members (so an
// ionic liquid stays neutral), random temperatures; each state solved cold
// and warm (after its neighbour), each result through the acceptance check.
TEST(QuasichemEquilibrium, RandomStatesAreAcceptedColdAndWarm) {
    const char* files[] = {"qc_example_1.dat", "qc_example_2.dat", "qc_example_3.dat", "qc_slag.dat"};
    std::mt19937_64 rng(19);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    // Every result goes through the acceptance check at its default
    // tolerances. A calculation that fails says so; it is counted apart from
    // a wrong answer, which is a success the check rejects.
    const AcceptanceOptions opt;
    int wrong = 0, failed = 0, states = 0;
    for (const char* f : files) {
        const System sys = qc_load(f);
        int liq = -1;
        for (int p = 0; p < sys.phase_count() && liq < 0; ++p)
            if (sys.phases[sz(p)].quasichem) liq = p;
        const Phase& ph = sys.phases[sz(liq)];
        Solver warm;
        for (int k = 0; k < 40; ++k) {
            std::vector<double> b(sz(sys.element_count()), 0.0);
            for (int m = 0; m < ph.count; ++m) {
                // Some end members at a trace, some absent.
                const double r = u(rng);
                const double a = r < 0.15 ? 0.0 : r < 0.25 ? 1e-7 * u(rng) : u(rng);
                for (int e = 0; e < sys.element_count(); ++e) b[sz(e)] += a * sys.constituent(liq, m).stoich[sz(e)];
            }
            double total = 0.0;
            for (double x : b) total += x;
            if (!(total > 0.0)) continue;
            EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
            pr.element_amount = b;
            Conditions c;
            c.T = 800.0 + 1400.0 * u(rng);
            for (Solver* s : {static_cast<Solver*>(nullptr), &warm}) {
                Solver cold;
                EquilibriumResult r = (s ? *s : cold).equilibrate(pr, c);
                ++states;
                const AcceptanceReport rep = r.succeeded() ? check_equilibrium(pr, r, opt) : AcceptanceReport{};
                failed += r.succeeded() ? 0 : 1;
                if (!r.succeeded()) std::cout << "failed: " << f << state(c.T, b) << (s ? " warm" : " cold") << ": " << r.message << "\n";
                if (r.succeeded() && !rep.ok) {
                    ++wrong;
                    ADD_FAILURE() << f << state(c.T, b) << (s ? " warm" : " cold") << ": "
                                  << (r.succeeded() ? rep.summary() : r.message);
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << states;
    // States with an element at a trace (1e-8 of the material) converge;
    // a rare one that does not says so.
    EXPECT_LE(failed, states / 100) << "calculations that failed, of " << states;
    std::cout << states << " states: " << wrong << " wrong, " << failed << " failed\n";
}

}  // namespace
}  // namespace eqcore
