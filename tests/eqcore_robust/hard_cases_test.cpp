// Hard cases, each with the reason it is hard. Every result must pass the
// acceptance check and match numbers computed here independently of the
// solver (equilibrium constants from the standard Gibbs energies, a
// saturation pressure, a common tangent).
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "check/stress.hpp"
#include "robust_util.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace eqcore::robust {
namespace {

double g0(const System& sys, const std::string& name, double T) {
    return gibbs0(sys.constituents[static_cast<std::size_t>(constituent_of(sys, name))], T);
}
double x_of(const System& sys, const EquilibriumResult& r, const std::string& name) {
    return r.mole_fraction[static_cast<std::size_t>(constituent_of(sys, name))];
}
// Activity of a stoichiometric constituent from the element potentials.
double activity_from_potentials(const System& sys, const EquilibriumResult& r, const std::string& name) {
    const Constituent& c = sys.constituents[static_cast<std::size_t>(constituent_of(sys, name))];
    double api = 0.0;
    for (std::size_t j = 0; j < sys.elements.size(); ++j) api += c.stoich[j] * r.element_potential[j];
    return std::exp((api - gibbs0(c, r.T)) / (kR * r.T));
}

class HardCases : public ::testing::Test {
protected:
    System cho_ = read_dat(example("c-h-o-n.dat"));
    System ho_ = read_dat(example("h-o.dat"));
};

// 1 H2O + 1 N2 at 550 K: the feed is exactly water, so H2 and O2 exist only
// from dissociation, at about 2e-14 and 1e-14 (K ~ 4e-21). Their amounts
// are set by the element balances at the scale of rounding of the major
// amounts: a solver that is not accurate in the balances gets them wrong by
// orders of magnitude or negative.
TEST_F(HardCases, StoichiometricFeedMinorSpeciesNear1e14) {
    const double T = 550.0;
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "H2O", 1.0);
    feed(pr, "N2", 1.0);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(pr, r));
    const double RT = kR * T;
    const double xH2O = x_of(cho_, r, "H2O"), xH2 = x_of(cho_, r, "H2"), xO2 = x_of(cho_, r, "O2");
    // H2O = H2 + 1/2 O2 at 1 bar.
    const double K = std::exp(-(g0(cho_, "H2", T) + 0.5 * g0(cho_, "O2", T) - g0(cho_, "H2O", T)) / RT);
    EXPECT_NEAR(xH2 * std::sqrt(xO2) / xH2O / K, 1.0, 1e-6);
    // Exactly stoichiometric: H2 = 2 O2 (the other minor species are 1e4
    // times smaller), so x_O2 = (K x_H2O / 2)^(2/3). Only the balances fix
    // this split, and in double precision they hold to about 1e-17 of the
    // material, a few percent of these traces: 5% is what can be asked; a
    // solver that leaves the split to chance is off by orders of magnitude.
    const double xO2_expected = std::pow(K * xH2O / 2.0, 2.0 / 3.0);
    EXPECT_GT(xO2, 1e-15);
    EXPECT_LT(xO2, 1e-13);
    EXPECT_NEAR(xO2 / xO2_expected, 1.0, 0.05);
    EXPECT_NEAR(xH2 / (2.0 * xO2), 1.0, 0.05);
    // N2 + 3 H2 = 2 NH3 holds at these traces too.
    const double K3 = std::exp(-(2.0 * g0(cho_, "NH3", T) - g0(cho_, "N2", T) - 3.0 * g0(cho_, "H2", T)) / RT);
    const double xNH3 = x_of(cho_, r, "NH3"), xN2 = x_of(cho_, r, "N2");
    EXPECT_NEAR(xNH3 * xNH3 / (xN2 * xH2 * xH2 * xH2) / K3, 1.0, 1e-6);
}

// Graphite at the carbon boundary of a CH4/O2 feed at 1200 K: with exactly
// enough oxygen, graphite has unit activity and zero amount; a hair less
// oxygen makes it form, a hair more keeps it out. The boundary is found with
// graphite eliminated (the gas alone), by bisection on the oxygen.
TEST_F(HardCases, GraphiteAtTheCarbonBoundary) {
    const double T = 1200.0;
    const int graphite = phase_of(cho_, "C_graphite(s)");
    ASSERT_GE(graphite, 0);
    auto problem = [&](double o2, bool with_graphite) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
        pr.phase_entered[static_cast<std::size_t>(graphite)] = with_graphite ? 1 : 0;
        feed(pr, "CH4", 1.0);
        feed(pr, "O2", o2);
        return pr;
    };
    Solver gas_only;
    auto carbon_activity = [&](double o2) {
        const EquilibriumResult r = gas_only.equilibrate(problem(o2, false), at(T));
        EXPECT_TRUE(r.succeeded()) << r.message;
        return activity_from_potentials(cho_, r, "C_graphite(s)");
    };
    double lo = 0.05, hi = 1.0;
    ASSERT_GT(carbon_activity(lo), 1.0);
    ASSERT_LT(carbon_activity(hi), 1.0);
    for (int i = 0; i < 100 && hi - lo > 1e-15; ++i) {
        const double mid = 0.5 * (lo + hi);
        (carbon_activity(mid) > 1.0 ? lo : hi) = mid;
    }
    const double boundary = 0.5 * (lo + hi);
    const EquilibriumResult gas = gas_only.equilibrate(problem(boundary, false), at(T));

    Solver solver;
    const EquilibriumProblem edge = problem(boundary, true);
    const EquilibriumResult r = solver.equilibrate(edge, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(edge, r));
    EXPECT_LT(amount_of(cho_, r, "C_graphite(s)"), 1e-9);
    EXPECT_LT(result_difference(r, gas), 1e-6);

    // Just below: graphite forms (about 1e-4 mol per 1e-4 relative less O2,
    // within a factor of 10); just above: it does not.
    const EquilibriumProblem below = problem(boundary * (1.0 - 1e-4), true);
    const EquilibriumResult rb = solver.equilibrate(below, at(T));
    ASSERT_TRUE(rb.succeeded()) << rb.message;
    EXPECT_TRUE(accepted(below, rb));
    EXPECT_GT(amount_of(cho_, rb, "C_graphite(s)"), 1e-6);
    EXPECT_LT(amount_of(cho_, rb, "C_graphite(s)"), 1e-2);
    const EquilibriumProblem above = problem(boundary * (1.0 + 1e-4), true);
    const EquilibriumResult ra = solver.equilibrate(above, at(T));
    ASSERT_TRUE(ra.succeeded()) << ra.message;
    EXPECT_TRUE(accepted(above, ra));
    EXPECT_FALSE(ra.phases[static_cast<std::size_t>(graphite)].present);
}

// 2 H2 + O2 at 350 K: all the water condenses and no gas phase remains, so
// only 2 pi_H + pi_O is fixed by the present phase; the absent gas must still
// be stable. Its driving force is RT ln(p_sat / P) with the saturation
// pressure from the two standard Gibbs energies of water (steam tables give
// 41.68 kPa at 350 K).
TEST_F(HardCases, AllWaterCondensedNoGas) {
    const double T = 350.0;
    EquilibriumProblem pr = EquilibriumProblem::all_entered(ho_);
    feed(pr, "H2", 2.0);
    feed(pr, "O2", 1.0);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(pr, r));
    EXPECT_FALSE(r.phases[0].present);
    EXPECT_NEAR(amount_of(ho_, r, "H2O_liquid(liq)"), 2.0, 1e-12);
    const double p_sat = kPstd * std::exp(-(g0(ho_, "H2O", T) - g0(ho_, "H2O_liquid(liq)", T)) / (kR * T));
    EXPECT_NEAR(p_sat, 41680.0, 0.02 * 41680.0);
    EXPECT_NEAR(r.phases[0].driving_force, kR * T * std::log(p_sat / kPstd), 1e-6 * kR * T);
    // At 0.3 bar the water evaporates completely instead.
    const EquilibriumResult low = solver.equilibrate(pr, at(T, 0.3e5));
    ASSERT_TRUE(low.succeeded()) << low.message;
    EXPECT_TRUE(accepted(pr, low));
    EXPECT_FALSE(low.phases[static_cast<std::size_t>(phase_of(ho_, "H2O_liquid(liq)"))].present);
}

// Nitrogen at 1e-10 of the hydrogen and oxygen of 2 H2 + O2 at 2500 K: its
// balance and its species' equilibria must hold at their own scale, and the
// trace must not disturb the rest.
TEST_F(HardCases, ElementOnlyAsATrace) {
    const double T = 2500.0;
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "H2", 2.0);
    feed(pr, "O2", 1.0);
    EquilibriumProblem traced = pr;
    feed(traced, "N2", 1.5e-10);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(traced, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(traced, r));
    double n_atoms = 0.0;
    for (std::size_t g = 0; g < cho_.constituents.size(); ++g) n_atoms += cho_.constituents[g].stoich[2] * r.amount[g];
    EXPECT_NEAR(n_atoms / 3e-10, 1.0, 1e-10);
    const double RT = kR * T;
    const double K = std::exp(-(2.0 * g0(cho_, "NO", T) - g0(cho_, "N2", T) - g0(cho_, "O2", T)) / RT);
    const double xNO = x_of(cho_, r, "NO"), xN2 = x_of(cho_, r, "N2"), xO2 = x_of(cho_, r, "O2");
    EXPECT_NEAR(xNO * xNO / (xN2 * xO2) / K, 1.0, 1e-6);
    const EquilibriumResult clean = solver.equilibrate(pr, at(T));
    ASSERT_TRUE(clean.succeeded()) << clean.message;
    for (const char* s : {"H2O", "H2", "O2", "OH", "H", "O"})
        EXPECT_NEAR(amount_of(cho_, r, s) / amount_of(cho_, clean, s), 1.0, 1e-8) << s;
}

// Nitrogen with water at 4e-14 of it at 492 K: hydrogen and oxygen stand
// exactly as in water, so the split between them is fixed only by H2, O2
// and OH some fifteen orders of magnitude further down. Newton holds that
// direction of the potentials and leaves its balance to those traces; it
// must not wait for a balance it cannot reach itself.
TEST_F(HardCases, StoichiometricTraceInAnInertGas) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "N2", 12.699482416301937);
    feed(pr, "H2O", 4.6523279943714159e-13);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, at(492.39238423532311));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(pr, r));
    EXPECT_NEAR(amount_of(cho_, r, "H2O") / 4.6523279943714159e-13, 1.0, 1e-9);
    EXPECT_NEAR(amount_of(cho_, r, "N2") / 12.699482416301937, 1.0, 1e-12);
}

// Methane in air at exactly the stoichiometric ratio, each state started
// from an unrelated one (as states arrive from a flowsheet). Below about
// 1500 K the O2, CO and H2 left over are traces, so one direction of the
// element potentials is fixed by traces alone; a start from a hot state
// sent Newton there with that direction held, and the balance along it
// never closed (200 iterations, then a cold restart). Every warm state must
// converge in a few iterations, pass the check and equal the cold answer.
TEST_F(HardCases, UnrelatedWarmStartsOnAnExactlyStoichiometricFeed) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "CH4", 1.0);
    feed(pr, "O2", 2.0);
    feed(pr, "N2", 7.52);
    Solver warm, cold;
    std::vector<std::pair<double, double>> states = {
        {2573.4974, 7.37758e6}, {1337.5850, 3.31616e6}, {2714.9576, 5.00835e6}, {1254.4164, 8.9419e6}};
    std::uint64_t seed = 7;
    auto uniform = [&seed] {  // a fixed sequence, the same on every platform
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) * 0x1.0p-53;
    };
    for (int k = 0; k < 200; ++k) states.emplace_back(1000.0 + 2000.0 * uniform(), 1.0e4 + 1.0e7 * uniform());
    for (const auto& [T, P] : states) {
        const EquilibriumResult w = warm.equilibrate(pr, at(T, P));
        cold.forget();
        const EquilibriumResult c = cold.equilibrate(pr, at(T, P));
        ASSERT_TRUE(w.succeeded() && c.succeeded()) << "T = " << T << " K, P = " << P << " Pa: " << w.message;
        EXPECT_LE(w.iterations, 30) << "T = " << T << " K, P = " << P << " Pa";
        EXPECT_TRUE(accepted(pr, w)) << "T = " << T << " K, P = " << P << " Pa";
        for (const char* name : {"CO2", "H2O", "N2", "O2", "CO", "H2"})
            EXPECT_NEAR(amount_of(cho_, w, name) / amount_of(cho_, c, name), 1.0, 1e-6)
                << name << " at T = " << T << " K, P = " << P << " Pa";
    }
}

// Copper at 2.4e-15 of the silver at 308 K: its only carrier is the pure
// solid, whose amount is below the rounding level of the starting linear
// program; dropping it there leaves copper without a carrier.
TEST_F(HardCases, TraceElementOnlyInACondensedPhase) {
    const System agcu = read_dat(example("ag-cu-example.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(agcu);
    feed(pr, "Ag", 0.094991051721789274);
    feed(pr, "LIQUID/Cu(liq)", 2.3910620967060342e-15);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, at(307.86830255915413));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(pr, r));
    EXPECT_NEAR(amount_of(agcu, r, "Cu(s)") / 2.3910620967060342e-15, 1.0, 1e-9);
    EXPECT_NEAR(amount_of(agcu, r, "Ag(s)"), 0.094991051721789274, 1e-15);
}

// At 2340.8 K and 0.256 bar the Ag-Cu liquid boils partly: the gas is added
// at a small amount and must grow a millionfold in a few steps (a linear
// relative growth taken as a logarithmic one overflows).
TEST_F(HardCases, AddedPhaseGrowsByOrdersOfMagnitude) {
    const System agcu = read_dat(example("ag-cu-example.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(agcu);
    feed(pr, "Ag", 0.23675991167696755 + 0.0060619917869306665 + 0.1556515923757581);
    feed(pr, "Cu", 0.0048309020589672545 + 0.71896215613630698 + 0.022027626809550074);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, at(2340.7550514019449, 25588.169803252218));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(pr, r));
    EXPECT_TRUE(r.phases[0].present);
}

// The adiabatic temperature of methane with air entering at 298.15 K, searched
// from 300 K and from 5000 K: both searches must end at the same temperature
// with the heat of the calculation zero (published: about 2225 K).
TEST_F(HardCases, AdiabaticTemperatureFromFarBelowAndFarAbove) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "CH4", 1.0);
    feed(pr, "O2", 2.0);
    feed(pr, "N2", 7.52);
    double T_found[2] = {0.0, 0.0};
    int i = 0;
    for (double start : {300.0, 5000.0}) {
        Conditions c = at(start);
        c.target.kind = TargetKind::enthalpy;
        c.target.value = 0.0;
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << "from " << start << " K: " << r.message;
        EXPECT_TRUE(accepted(pr, r));
        // The heat from the models: the entering gas at 298.15 K against the
        // equilibrium amounts.
        std::vector<double> n_in(static_cast<std::size_t>(cho_.phases[0].count), 0.0);
        for (const Feed& f : pr.streams)
            for (int k = 0; k < cho_.phases[0].count; ++k) n_in[static_cast<std::size_t>(k)] += f.amount[static_cast<std::size_t>(k)];
        const double H_in = phase_props(cho_, 0, kT298, kPstd, n_in).H;
        EXPECT_NEAR(r.H - H_in, 0.0, 1e-6 * std::abs(H_in) + 1e-3) << "from " << start << " K";
        EXPECT_NEAR(r.T, 2225.0, 30.0);
        T_found[i++] = r.T;
    }
    EXPECT_NEAR(T_found[0], T_found[1], 1e-3);
}

// The same for hydrogen burning in oxygen, where the product dissociates
// strongly (published: about 3080 K at 1 bar).
TEST_F(HardCases, AdiabaticTemperatureOfHydrogenInOxygen) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(ho_);
    feed(pr, "H2", 2.0);
    feed(pr, "O2", 1.0);
    double T_found[2] = {0.0, 0.0};
    int i = 0;
    for (double start : {300.0, 5000.0}) {
        Conditions c = at(start);
        c.target.kind = TargetKind::enthalpy;
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << "from " << start << " K: " << r.message;
        EXPECT_TRUE(accepted(pr, r));
        EXPECT_NEAR(r.heat, 0.0, 1e-3);
        EXPECT_NEAR(r.T, 3080.0, 40.0);
        T_found[i++] = r.T;
    }
    EXPECT_NEAR(T_found[0], T_found[1], 1e-3);
}

// A miscibility gap in an RKMP liquid with a large, asymmetric interaction
// (data/asym-gap.dat, the liquid written twice): the two liquids take the
// compositions of the common tangent of G_m(x), found here by Newton on
// mu_A(x1) = mu_A(x2), mu_B(x1) = mu_B(x2), and the lever rule splits the
// material.
class MiscibilityGap : public ::testing::Test {
protected:
    static constexpr double kGB = 1500.0, kL0 = 24000.0, kL1 = 6000.0;
    // Chemical potentials of A and B in the liquid at x = x_B, J/mol.
    static void mu(double T, double x, double& muA, double& muB) {
        const double RT = kR * T, xa = 1.0 - x;
        // G_ex = xa x (L0 + L1 (xa - x)); partial molar quantities by hand.
        const double L = kL0 + kL1 * (xa - x);
        const double dGex = (xa - x) * L + xa * x * (-2.0 * kL1);  // dG_ex/dx
        const double Gex = xa * x * L;
        muA = RT * std::log(xa) + Gex - x * dGex;
        muB = kGB + RT * std::log(x) + Gex + xa * dGex;
    }
    static void common_tangent(double T, double& x1, double& x2) {
        x1 = 0.05;
        x2 = 0.9;
        for (int it = 0; it < 100; ++it) {
            auto F = [&](double a, double b, double& f1, double& f2) {
                double a1, b1, a2, b2;
                mu(T, a, a1, b1);
                mu(T, b, a2, b2);
                f1 = (a1 - a2) / (kR * T);
                f2 = (b1 - b2) / (kR * T);
            };
            double f1, f2, g1, g2, h1, h2;
            F(x1, x2, f1, f2);
            const double e = 1e-7;
            F(x1 + e, x2, g1, g2);
            F(x1, x2 + e, h1, h2);
            const double j11 = (g1 - f1) / e, j21 = (g2 - f2) / e, j12 = (h1 - f1) / e, j22 = (h2 - f2) / e;
            const double det = j11 * j22 - j12 * j21;
            double d1 = -(f1 * j22 - f2 * j12) / det, d2 = -(j11 * f2 - j21 * f1) / det;
            const double lim = 0.5 * std::min({x1, 1.0 - x1, x2, 1.0 - x2});
            const double s = std::max(std::abs(d1), std::abs(d2)) > lim ? lim / std::max(std::abs(d1), std::abs(d2)) : 1.0;
            x1 += s * d1;
            x2 += s * d2;
            if (std::abs(f1) + std::abs(f2) < 1e-14) break;
        }
    }
    System sys_ = read_dat(test_data("asym-gap.dat"));
};

TEST_F(MiscibilityGap, TwoLiquidsAtTheCommonTangent) {
    for (double T : {700.0, 1000.0}) {
        for (double z : {0.2, 0.45, 0.75}) {
            double x1 = 0.0, x2 = 0.0;
            common_tangent(T, x1, x2);
            ASSERT_LT(x1, z);
            ASSERT_GT(x2, z);
            EquilibriumProblem pr = EquilibriumProblem::all_entered(sys_);
            feed(pr, "LIQUID#1/A(l)", 1.0 - z);
            feed(pr, "LIQUID#1/B(l)", z);
            Solver solver;
            const EquilibriumResult r = solver.equilibrate(pr, at(T));
            ASSERT_TRUE(r.succeeded()) << "T " << T << " z " << z << ": " << r.message;
            EXPECT_TRUE(accepted(pr, r)) << "T " << T << " z " << z;
            ASSERT_TRUE(r.phases[0].present && r.phases[1].present) << "T " << T << " z " << z << ": one liquid only";
            // Whichever copy holds the A-rich side.
            double xb[2] = {r.mole_fraction[1], r.mole_fraction[3]};
            double amt[2] = {r.phases[0].amount, r.phases[1].amount};
            if (xb[0] > xb[1]) {
                std::swap(xb[0], xb[1]);
                std::swap(amt[0], amt[1]);
            }
            EXPECT_NEAR(xb[0], x1, 1e-7) << "T " << T << " z " << z;
            EXPECT_NEAR(xb[1], x2, 1e-7) << "T " << T << " z " << z;
            EXPECT_NEAR(amt[0], (x2 - z) / (x2 - x1), 1e-7) << "lever rule, T " << T << " z " << z;
        }
    }
}

// Outside the gap one liquid holds everything, whatever the start.
TEST_F(MiscibilityGap, OneLiquidOutsideTheGap) {
    double x1 = 0.0, x2 = 0.0;
    common_tangent(1000.0, x1, x2);
    for (double z : {0.5 * x1, 0.5 * (1.0 + x2)}) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys_);
        feed(pr, "LIQUID#2/A(l)", 1.0 - z);
        feed(pr, "LIQUID#2/B(l)", z);
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, at(1000.0));
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(pr, r)) << "z " << z;
        EXPECT_EQ(int(r.phases[0].present) + int(r.phases[1].present), 1) << "z " << z;
    }
}

}  // namespace
}  // namespace eqcore::robust
