// Temperature targets verified independently of the target search: the
// result must be an equilibrium of the phases the target leaves in (the
// acceptance check on that reduced problem), and at its temperature the
// target's own function, recomputed by the acceptance check's tangent-plane
// search, must vanish.
#include <cmath>

#include <gtest/gtest.h>

#include "grid_minimum.hpp"
#include "interstitial_scan.hpp"
#include "robust_util.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace eqcore::robust {
namespace {

std::string tests_file(const std::string& file) { return std::string(EQCORE_TESTS_DIR) + "/" + file; }

Conditions target(TargetKind kind, int phase, double estimate) {
    Conditions c;
    c.T = estimate;
    c.T_low = 300.0;
    c.T_high = 2500.0;
    c.target.kind = kind;
    c.target.phase = phase;
    return c;
}

// Least tangent distance / RT of mixture `phase` against the result's potentials.
double distance_of(const System& sys, int phase, const EquilibriumResult& r) {
    const std::vector<char> use(static_cast<std::size_t>(sys.phases[static_cast<std::size_t>(phase)].count), 1);
    return least_tangent_distance(sys, phase, r.T, r.P, r.element_potential, use, 4, 7);
}

// A melt written as two copies (either side of its gap): a formation target
// on the second copy, and a precipitation target on the first, start from a
// linear programme that puts the two sides of the gap in the two copies.
// The copy the target keeps out must stay out.
TEST(TargetChecks, GapCopyKeptOutOfItsTarget) {
    const System sys = read_dat(tests_file("eqcore_ionic/data/ionic_gap.dat"));
    const int first = phase_of(sys, "MATTE#1"), second = phase_of(sys, "MATTE#2");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.989788, 0.010212};
    for (const TargetKind kind : {TargetKind::formation, TargetKind::precipitation}) {
        SCOPED_TRACE(kind == TargetKind::formation ? "formation of MATTE#2" : "precipitation from MATTE#1");
        const int q = kind == TargetKind::formation ? second : first;
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, target(kind, q, 741.701));
        ASSERT_TRUE(r.succeeded()) << r.message;
        // Only MATTE#1 takes part in either reduced problem.
        EquilibriumProblem reduced = pr;
        reduced.phase_entered[static_cast<std::size_t>(second)] = 0;
        EXPECT_FALSE(r.phases[static_cast<std::size_t>(second)].present);
        EXPECT_TRUE(accepted(reduced, r));
        EXPECT_NEAR(distance_of(sys, second, r), 0.0, 1e-7);
    }
}


// Liquidus of the Ga-In pair-approximation liquid, from a second method: at
// composition x the liquid's potentials (its model alone) give each
// compound's distance sum a_j mu_j - G°; the liquidus is the highest
// temperature below the start where the least of them reaches zero, found
// by a 0.5 K scan down from the start and bisection. The precipitation
// target on the liquid must give the same temperature.
TEST(TargetChecks, PairLiquidLiquidusAgainstItsTangent) {
    const System sys = read_dat(tests_file("eqcore_quasichem/data/qc_example_1.dat"));
    const int liquid = phase_of(sys, "LIQ_Q1");
    const auto model = make_model(sys, liquid);
    auto least = [&](double x, double T) {
        const std::vector<double> n = {1.0 - x, x};
        std::vector<double> mu(2);
        phase_props(*model, T, kPstd, n, mu);
        double f = 1e300;
        for (int p = 0; p < sys.phase_count(); ++p) {
            const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
            if (ph.is_mixture()) continue;
            const Constituent& c = sys.constituent(p, 0);
            const double d = (gibbs0(c, T) - c.stoich[0] * mu[0] - c.stoich[1] * mu[1]) / (c.stoich[0] + c.stoich[1]);
            f = std::min(f, d / (kR * T));
        }
        return f;
    };
    const double T0 = 2400.0;
    for (const double x : {0.03, 0.2, 0.45, 0.6, 0.667, 0.75, 0.9, 0.98}) {
        SCOPED_TRACE("x_In = " + std::to_string(x));
        double hi = T0, lo = T0;
        ASSERT_GT(least(x, T0), 0.0);
        while (least(x, lo) > 0.0 && lo > 300.0) {
            hi = lo;
            lo -= 0.5;
        }
        ASSERT_GT(lo, 300.0);
        for (int i = 0; i < 60; ++i) (least(x, 0.5 * (lo + hi)) > 0.0 ? hi : lo) = 0.5 * (lo + hi);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {1.0 - x, x};
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::precipitation, liquid, T0));
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_NEAR(r.T, 0.5 * (lo + hi), 0.01);
    }
}

// The liquid forming from a compound fed at exactly its own composition
// (the compound's melting point): the compound alone leaves the element
// potentials free along one direction, and the liquid forms only where no
// potentials in that range keep it out. Here the melting is congruent: the
// liquid's own potentials at the compound's composition give its energy,
// and the temperature where the two are equal (bisection) is the answer,
// from every estimate.
TEST(TargetChecks, CompoundMeltingAtItsOwnComposition) {
    const System sys = read_dat(tests_file("eqcore_quasichem/data/qc_example_1.dat"));
    const int liquid = phase_of(sys, "LIQ_Q1");
    const Constituent& compound = sys.constituent(phase_of(sys, "GaIn2_s(s)"), 0);
    const auto model = make_model(sys, liquid);
    auto excess = [&](double T) {
        const std::vector<double> n = {1.0, 2.0};
        std::vector<double> mu(2);
        phase_props(*model, T, kPstd, n, mu);
        return mu[0] + 2.0 * mu[1] - gibbs0(compound, T);
    };
    double lo = 900.0, hi = 1200.0;
    ASSERT_GT(excess(lo), 0.0);
    ASSERT_LT(excess(hi), 0.0);
    for (int i = 0; i < 60; ++i) (excess(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {1.0 / 3.0, 2.0 / 3.0};
    for (const double T0 : {400.0, 1000.0, 1500.0, 2400.0}) {
        SCOPED_TRACE("estimate " + std::to_string(T0));
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, liquid, T0));
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_NEAR(r.T, 0.5 * (lo + hi), 0.01);
        EXPECT_FALSE(r.phases[static_cast<std::size_t>(liquid)].present);
        EquilibriumProblem reduced = pr;
        reduced.phase_entered[static_cast<std::size_t>(liquid)] = 0;
        EXPECT_TRUE(accepted(reduced, r));
        EXPECT_NEAR(distance_of(sys, liquid, r), 0.0, 1e-7);
    }
}

// A ternary compound fed alone leaves the element potentials free in two
// directions. It melts congruently where the liquid's own potentials at its
// composition give its energy (bisection on the liquid model alone); with
// every other solid above that plane by a margin (checked at the root), the
// plane certifies the compound alone below that temperature and the liquid
// above it, so no other temperature is right, from any estimate.
TEST(TargetChecks, TernaryCompoundMeltingWithTwoFreeDirections) {
    const System sys = read_dat(tests_file("eqcore_robust/data/melt-ternary.dat"));
    const int liquid = phase_of(sys, "LIQ");
    const Constituent& compound = sys.constituent(phase_of(sys, "ABC_s"), 0);
    const auto model = make_model(sys, liquid);
    auto liquid_mu = [&](double T) {
        const std::vector<double> n = {1.0, 1.0, 1.0};
        std::vector<double> mu(3);
        phase_props(*model, T, kPstd, n, mu);
        return mu;
    };
    auto excess = [&](double T) {
        const std::vector<double> mu = liquid_mu(T);
        return mu[0] + mu[1] + mu[2] - gibbs0(compound, T);
    };
    double lo = 400.0, hi = 900.0;
    ASSERT_GT(excess(lo), 0.0);
    ASSERT_LT(excess(hi), 0.0);
    for (int i = 0; i < 60; ++i) (excess(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
    const double Tm = 0.5 * (lo + hi);
    const std::vector<double> mu = liquid_mu(Tm);
    for (const char* solid : {"A_s", "B_s", "C_s", "AB2C_s"}) {
        const Constituent& c = sys.constituent(phase_of(sys, solid), 0);
        double plane = 0.0;
        for (std::size_t j = 0; j < 3; ++j) plane += c.stoich[j] * mu[j];
        EXPECT_GT(gibbs0(c, Tm) - plane, 1000.0) << solid;
    }
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {1.0, 1.0, 1.0};
    for (const double T0 : {300.0, 600.0, 900.0, 1500.0}) {
        SCOPED_TRACE("estimate " + std::to_string(T0));
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, liquid, T0));
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_NEAR(r.T, Tm, 0.01);
        EquilibriumProblem reduced = pr;
        reduced.phase_entered[static_cast<std::size_t>(liquid)] = 0;
        EXPECT_TRUE(accepted(reduced, r));
        EXPECT_NEAR(distance_of(sys, liquid, r), 0.0, 1e-7);
    }
}

// The same compound beside a more stable AB2C_s: it melts into the liquid
// and AB2C_s below its congruent point, where the least distance over the
// two free directions has its maximum at a kink (the liquid and AB2C_s
// equal). Every estimate gives one temperature, and calculations with every
// phase entered find the compound alone just below it and the liquid just
// above it.
TEST(TargetChecks, TernaryCompoundMeltingIntoLiquidAndCompound) {
    const System sys = read_dat(tests_file("eqcore_robust/data/melt-peritectic.dat"));
    const int liquid = phase_of(sys, "LIQ");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {1.0, 1.0, 1.0};
    std::vector<double> roots;
    for (const double T0 : {300.0, 600.0, 900.0, 1500.0}) {
        SCOPED_TRACE("estimate " + std::to_string(T0));
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, liquid, T0));
        ASSERT_TRUE(r.succeeded()) << r.message;
        roots.push_back(r.T);
        EXPECT_NEAR(r.T, roots.front(), 0.001);
    }
    Solver tp;
    for (const double dT : {-0.02, 0.02}) {
        const EquilibriumResult r = tp.equilibrate(pr, at(roots.front() + dT));
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(pr, r));
        EXPECT_EQ(r.phases[static_cast<std::size_t>(liquid)].present, dT > 0.0) << "at T* " << dT << " K";
    }
}

// Two compounds of four elements, fed together, leave two free directions:
// the hcp phase may look about to form at some potentials of that range,
// but calculations with every phase entered never find it present between
// the limits, so the target is not met (from either side of the melting).
TEST(TargetChecks, TwoCompoundsOfFourElementsKeepAPhaseOut) {
    const System sys = read_dat(example("hard/hard-quaternary.dat"));
    const int hcp = phase_of(sys, "HCP#1");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {3.0, 1.0, 1.0, 1.0};  // Au3Pt + RhIr
    Solver tp;
    for (double T = 300.0; T <= 3000.0; T += 100.0) {
        const EquilibriumResult r = tp.equilibrate(pr, at(T));
        ASSERT_TRUE(r.succeeded()) << r.message;
        ASSERT_TRUE(accepted(pr, r)) << T << " K";
        ASSERT_FALSE(r.phases[static_cast<std::size_t>(hcp)].present) << T << " K";
    }
    for (const double T0 : {500.0, 1500.0}) {
        Conditions c = target(TargetKind::formation, hcp, T0);
        c.T_high = 3000.0;
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, c);
        EXPECT_EQ(r.status, SolverStatus::target_not_met) << "estimate " << T0 << ": T " << r.T;
    }
}

// Without A2B_s the ionic liquid (written once, with a gap) is held on one
// basin and jumps to the other at 1346.56 K; A2B_s's driving force jumps
// there from +0.5 RT to -0.3 RT without vanishing. With every phase entered
// A2B_s is present on both sides of that temperature, so it is no answer:
// the target must fail rather than report it.
TEST(TargetChecks, JumpOfTheOtherPhasesIsNoRoot) {
    const System sys = read_dat(tests_file("eqcore_robust/data/ion-gap.dat"));
    const int compound = phase_of(sys, "A2B_s");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.877037, 0.122963};
    Solver tp;
    for (const double T : {1340.0, 1350.0}) {
        const EquilibriumResult r = tp.equilibrate(pr, at(T));
        ASSERT_TRUE(r.succeeded()) << r.message;
        ASSERT_TRUE(accepted(pr, r)) << T << " K";
        ASSERT_TRUE(r.phases[static_cast<std::size_t>(compound)].present) << T << " K";
    }
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, compound, 1101.339));
    EXPECT_FALSE(r.succeeded() && r.T > 1340.0 && r.T < 1350.0) << "T " << r.T;
}

// Without FCCM the equilibrium is AB_s beside BCCM at its B-rich end, BCCM
// (written once) held there by the balance although its other basin lies
// lower against that plane; FCCM's driving force against it vanishes only at
// 328.75 K. With every phase entered FCCM takes the B-rich end from 392.89 K
// down (the brute force shows it at 330 and 360 K), letting BCCM move to its
// other basin. So FCCM starts to form at 392.89 K, with a finite amount at
// once, and 328.75 K is no answer: the target must not report it (nor any
// temperature the brute force does not bracket).
TEST(TargetChecks, FormationHiddenBehindAPhaseHeldInOneBasin) {
    const System sys = read_dat(tests_file("eqcore_robust/data/slm-afm.dat"));
    const int fcc = phase_of(sys, "FCCM");
    const std::vector<double> b = {0.034495, 0.965505};
    const auto fcc_in_grid = [&](double T) {
        return binary_grid_minimum(sys, b, T, 1e5, 20000).assemblage.find("FCCM") != std::string::npos;
    };
    ASSERT_TRUE(fcc_in_grid(330.0));
    ASSERT_TRUE(fcc_in_grid(360.0));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = b;
    for (const double estimate : {1697.509, 500.0}) {
        Solver solver;
        const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, fcc, estimate));
        if (!r.succeeded()) continue;
        EXPECT_NE(fcc_in_grid(r.T - 0.5), fcc_in_grid(r.T + 0.5)) << "from " << estimate << " K: " << r.T << " K";
    }
}

// The root nearest the estimate when the walk's steps on both sides reach a
// root in the same round: from 1638.353 K the dew point of the Ga-In liquid
// (2445.5 K, 807 K up) is bracketed first, but the solidus near 898 K lies
// 740 K down. The second method: the liquid's least distance (the
// acceptance check's search) against calculations without it, scanned down
// from the estimate in 2 K steps, then bisection.
TEST(TargetChecks, NearestRootOnTheSideWalkedSecond) {
    const System sys = read_dat(example("ga-in-qc.dat"));
    const int liquid = phase_of(sys, "LIQ_QC");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.881478, 0.118522};
    EquilibriumProblem reduced = pr;
    reduced.phase_entered[static_cast<std::size_t>(liquid)] = 0;
    Solver tp;
    auto distance = [&](double T) {
        const EquilibriumResult r = tp.equilibrate(reduced, at(T));
        EXPECT_TRUE(r.succeeded()) << r.message;
        return distance_of(sys, liquid, r);
    };
    const double T0 = 1638.353;
    double hi = T0, lo = T0;
    while (distance(lo) < 0.0 && lo > 300.0) {
        hi = lo;
        lo -= 2.0;
    }
    ASSERT_GT(lo, 300.0);
    for (int i = 0; i < 40; ++i) (distance(0.5 * (lo + hi)) < 0.0 ? hi : lo) = 0.5 * (lo + hi);
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, liquid, T0));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, 0.5 * (lo + hi), 0.01);
}

// Ferrite forming from austenite that holds all the material (Fe-C with
// magnetic terms, 2.26 % C): the potentials are the austenite's own at the
// feed (its model alone: pi_Fe = mu(FE:VA), pi_C = mu(FE:C) - mu(FE:VA)),
// ferrite's least distance is scanned over its carbon fraction, and the
// temperature where it reaches zero, scanned up from the estimate in 1 K
// steps and bisected, is the answer.
TEST(TargetChecks, FerriteFromAusteniteAgainstTheScan) {
    const System sys = read_dat(example("fe-c.dat"));
    const int bcc = phase_of(sys, "BCC_A2"), fcc = phase_of(sys, "FCC_A1");
    const auto ferrite = make_model(sys, bcc), austenite = make_model(sys, fcc);
    const double fe = 0.977414, c = 0.022586;
    auto distance = [&](double T) {
        const std::vector<double> n = {c, fe - c};  // FE:C, FE:VA
        std::vector<double> mu(2);
        phase_props(*austenite, T, kPstd, n, mu);
        return scanned_distance(sys, *ferrite, bcc, T, {mu[1], mu[0] - mu[1]});
    };
    const double T0 = 1808.854;
    double lo = T0, hi = T0;
    ASSERT_GT(distance(T0), 0.0);
    while (distance(hi) > 0.0 && hi < T0 + 200.0) {
        lo = hi;
        hi += 1.0;
    }
    ASSERT_LT(hi, T0 + 200.0);
    for (int i = 0; i < 40; ++i) (distance(0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {fe, c};
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, target(TargetKind::formation, bcc, T0));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, 0.5 * (lo + hi), 0.01);
    EXPECT_TRUE(r.phases[static_cast<std::size_t>(fcc)].present);
    EXPECT_NEAR(r.phases[static_cast<std::size_t>(fcc)].amount, fe, 1e-9);
}

}  // namespace
}  // namespace eqcore::robust
