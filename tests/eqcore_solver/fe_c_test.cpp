// The binary interstitial file examples/fe-c.dat: a magnetic bcc
// (Fe)1(C,Va)3 and an antiferromagnetic fcc (Fe)1(C,Va)1, cementite and
// graphite. Equilibria against the brute-force hull of every condensed
// phase, and one bcc state against a site-fraction minimum found by direct
// search over the one free fraction, with the magnetic term written out.
#include <cmath>

#include "binary_hull.hpp"
#include "check/acceptance.hpp"
#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

std::size_t idx(int v) { return static_cast<std::size_t>(v); }

EquilibriumResult solve(const System& sys, double T, double xC, EquilibriumProblem& pr) {
    pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {1.0 - xC, xC};
    Conditions c;
    c.T = T;
    Solver solver;
    return solver.equilibrate(pr, c);
}

// Solved at T - 40 K, then warm at T: each result converged, accepted by
// the check, and on the brute-force hull (per mol of atoms).
void expect_on_hull_cold_and_warm(const System& sys, double T, double fe, double carbon) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {fe, carbon};
    Solver solver;
    Conditions c;
    for (const double t : {T - 40.0, T}) {
        c.T = t;
        const EquilibriumResult r = solver.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(check_equilibrium(pr, r).ok);
        const double atoms = fe + carbon;
        const double hull = hull_minimum(sys, t, carbon / atoms);
        EXPECT_LE(r.G / atoms, hull + 1e-9 * std::abs(hull));
        EXPECT_NEAR(r.G / atoms, hull, 2e-3);
    }
}

TEST(FeC, EquilibriumGibbsEnergyEqualsTheBruteForceHull) {
    const System sys = read_dat(example("fe-c.dat"));
    // Ferrite, austenite, their two-phase field, ferrite or austenite with
    // cementite or graphite, across the Curie temperature of bcc.
    const struct {
        double T, xC;
    } states[] = {{700.0, 0.0002}, {900.0, 0.01}, {1000.0, 0.001}, {1000.0, 0.05}, {1100.0, 0.02},
                  {1200.0, 0.04}, {1300.0, 0.2},  {800.0, 0.3},    {1500.0, 0.001}};
    for (const auto& st : states) {
        SCOPED_TRACE("T " + std::to_string(st.T) + ", x(C) " + std::to_string(st.xC));
        EquilibriumProblem pr;
        const EquilibriumResult r = solve(sys, st.T, st.xC, pr);
        ASSERT_TRUE(r.succeeded()) << r.message;
        const AcceptanceReport rep = check_equilibrium(pr, r);
        EXPECT_TRUE(rep.ok) << rep.summary();
        const double hull = hull_minimum(sys, st.T, st.xC);
        EXPECT_LE(r.G, hull + 1e-9 * std::abs(hull));
        EXPECT_NEAR(r.G, hull, 2e-3);
    }
}

// Feeds at the composition of cementite, one rounding step to either side
// (as decimal amounts of Fe and C in a 3:1 ratio are): above about 1300 K
// cementite is less stable than austenite with graphite, and graphite has a
// negative driving force beside cementite alone, yet with cementite holding
// the whole feed its amount beside it is zero to the rounding. Each state
// must converge, cold and warm from a state 40 K away, to the brute-force hull.
TEST(FeC, FeedAtTheCementiteCompositionConvergesToTheHull) {
    const System sys = read_dat(example("fe-c.dat"));
    const struct {
        double fe, c;
    } feeds[] = {{0.69615468632578592, 0.23205156210859529}, {2.3961625506186568, 0.79872085020621886},
                 {0.75, std::nextafter(0.25, 0.0)},           {0.75, std::nextafter(0.25, 1.0)},
                 {0.75, 0.25}};
    for (const double T : {1341.0481569461235, 1556.6628377338445, 1908.3241655752352, 2140.8696584101299}) {
        for (const auto& f : feeds) {
            SCOPED_TRACE("T " + std::to_string(T) + ", Fe " + std::to_string(f.fe) + ", C " + std::to_string(f.c));
            expect_on_hull_cold_and_warm(sys, T, f.fe, f.c);
        }
    }
}

// Feeds a little leaner in carbon than cementite near 2000 K, where
// austenite with graphite is stable: the linear-programme start (cementite
// beside a carbon-rich ferrite) sends the ferrite out, and cementite alone
// cannot hold the feed. Each state must still converge, cold and warm, to
// the brute-force hull.
TEST(FeC, LeanFeedsBesideMetastableCementiteConvergeToTheHull) {
    const System sys = read_dat(example("fe-c.dat"));
    const struct {
        double T, fe, c;
    } states[] = {{2018.5777951254715, 0.057909022718925215, 0.017052828659046403},
                  {2004.5249878927793, 0.29077792070416325, 0.095372624835494829},
                  {2251.4862452811813, 69.277214038945473, 20.030703049621156},
                  {1998.7421892431041, 2.6955622327022311, 0.83665715088875314},
                  {2018.0, 0.057909022718925215, 0.019}};
    for (const auto& st : states) {
        SCOPED_TRACE("T " + std::to_string(st.T) + ", Fe " + std::to_string(st.fe) + ", C " + std::to_string(st.c));
        expect_on_hull_cold_and_warm(sys, st.T, st.fe, st.c);
    }
}

// G per formula unit of the bcc (Fe)1(C,Va)3 at C site fraction y, written
// out from the file's values: reference surface, ideal mixing on the
// interstitial sublattice, L0 = -190 T, and the magnetic term (Tc = 1043 K,
// beta = 2.22 for both end members, p = 0.4).
double bcc_formula_unit(double T, double y) {
    auto g = [T](double a, double b, double c, double d, double e, double f) {
        return a + b * T + c * T * std::log(T) + d * T * T + e * T * T * T + f / T;
    };
    const double fe = g(1225.7, 124.134, -23.5143, -0.00439752, -5.8927e-8, 77359.0);
    const double cc = g(-17368.441, 170.73, -24.3, -4.723e-4, 0.0, 2562600.0);
    const double g_fec = fe + 3.0 * cc + 322050.0 + 75.667 * T;
    double G = y * g_fec + (1.0 - y) * fe;
    G += 3.0 * kR * T * ((y > 0 ? y * std::log(y) : 0.0) + (y < 1 ? (1 - y) * std::log(1 - y) : 0.0));
    G += y * (1.0 - y) * (-190.0 * T);
    const double tau = T / 1043.0, p = 0.4;
    const double A = 518.0 / 1125.0 + 11692.0 / 15975.0 * (1.0 / p - 1.0);
    const double gt = tau <= 1.0
                          ? 1.0 - (79.0 / (140.0 * p * tau) +
                                   474.0 / 497.0 * (1.0 / p - 1.0) *
                                       (std::pow(tau, 3) / 6 + std::pow(tau, 9) / 135 + std::pow(tau, 15) / 600)) / A
                          : -(std::pow(tau, -5) / 10 + std::pow(tau, -15) / 315 + std::pow(tau, -25) / 1500) / A;
    return G + kR * T * std::log(2.22 + 1.0) * gt;
}

TEST(FeC, SingleFerriteStateIsTheSiteFractionMinimumFoundByDirectSearch) {
    // All carbon in ferrite at 1000 K, x(C) = 0.0002: one formula unit per
    // Fe atom, so the C site fraction follows from the balance,
    // y = xC / (3 (1 - xC)), and G = (1 - xC) bcc_formula_unit(y). The
    // solver's G and site fraction must match; the tangent-plane distance
    // at the solver's potentials, minimised over y by golden section, must
    // be zero at that same y.
    const System sys = read_dat(example("fe-c.dat"));
    const double T = 1000.0, xC = 0.0002;
    EquilibriumProblem pr;
    const EquilibriumResult r = solve(sys, T, xC, pr);
    ASSERT_TRUE(r.succeeded()) << r.message;
    const int bcc = phase_of(sys, "BCC_A2");
    ASSERT_TRUE(r.phases[idx(bcc)].present);
    int others = 0;
    for (const PhaseResult& p : r.phases) others += p.present ? 1 : 0;
    ASSERT_EQ(others, 1) << "ferrite alone";
    const double y = xC / (3.0 * (1.0 - xC));
    EXPECT_NEAR(r.phases[idx(bcc)].site_fraction[idx(sys.phases[idx(bcc)].sublattice.first(1))], y, 1e-9);
    EXPECT_TRUE(near_rel(r.G, (1.0 - xC) * bcc_formula_unit(T, y), 1e-9));
    // Tangent-plane distance per formula unit at the solver's potentials,
    // D(y') = G(y') - pi_Fe - 3 y' pi_C, minimised by golden section: the
    // minimum is at the solver's y and is zero.
    const double piFe = r.element_potential[0], piC = r.element_potential[1];
    auto D = [&](double yy) { return bcc_formula_unit(T, yy) - piFe - 3.0 * yy * piC; };
    double lo = 1e-9, hi = 0.002;
    const double phi = 0.5 * (std::sqrt(5.0) - 1.0);
    for (int i = 0; i < 200; ++i) {
        const double a = hi - phi * (hi - lo), b = lo + phi * (hi - lo);
        (D(a) < D(b) ? hi : lo) = D(a) < D(b) ? b : a;
    }
    EXPECT_NEAR(0.5 * (lo + hi), y, 1e-5 * y);
    EXPECT_NEAR(D(0.5 * (lo + hi)), 0.0, 1e-6);
}

}  // namespace
}  // namespace eqcore::testing
