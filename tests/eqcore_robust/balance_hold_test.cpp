// A liquid written once with a miscibility gap, absent beside a compound
// at a feed the compound makes up exactly: below every single plane
// through the compound, but one instance of it cannot reach both sides of
// the feed, so the compound alone is the minimum. The answers against
// brute-force minima over the one-instance assemblages (binary: the lever
// rule; ternary: every basis of the balance by enumeration), and the check
// accepting such a state only where the free potentials hold the liquid out.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "lever_minimum.hpp"
#include "own_basins_util.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

// The liquid's least distance / RT at the result's potentials (the
// check's search): negative where no single plane holds it out.
double liquid_distance(const System& sys, const EquilibriumResult& r) {
    return least_tangent_distance(sys, phase_of(sys, "LIQUID"), r.T, r.P, r.element_potential, {1, 1}, 4, 1);
}

// A brute-force minimum of a system of elements A, B, C: one instance of
// the binary liquid (A(l), B(l)) at a grid of compositions (and at the
// feed's A:B) beside the stoichiometric phases, each basis of three columns of the balance solved
// exactly and kept where its amounts are not negative.
double ternary_brute_force(const System& sys, const std::vector<double>& b, double T, int samples) {
    PhaseModels models(sys);
    const int liquid = phase_of(sys, "LIQUID");
    std::vector<Eigen::Vector3d> cols;
    std::vector<double> cost;
    for (int p = 0; p < sys.phase_count(); ++p) {
        if (sys.phases[usz(p)].is_mixture()) continue;
        const Constituent& c = sys.constituent(p, 0);
        cols.emplace_back(c.stoich[0], c.stoich[1], c.stoich[2]);
        cost.push_back(phase_props(models[p], T, kPstd, std::vector<double>{1.0}).G);
    }
    const Eigen::Vector3d rhs(b[0], b[1], b[2]);
    double best = std::numeric_limits<double>::infinity();
    auto bases = [&]() {
        const std::size_t n = cols.size();
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j)
                for (std::size_t k = j + 1; k < n; ++k) {
                    Eigen::Matrix3d M;
                    M << cols[i], cols[j], cols[k];
                    if (std::abs(M.determinant()) < 1e-12) continue;
                    const Eigen::Vector3d z = M.fullPivLu().solve(rhs);
                    if (z.minCoeff() < -1e-12) continue;
                    best = std::min(best, z(0) * cost[i] + z(1) * cost[j] + z(2) * cost[k]);
                }
    };
    bases();
    // The grid, and the liquid at the feed's ratio of A to B (where it may
    // hold both beside phases of C alone).
    std::vector<double> fractions{b[1] / (b[0] + b[1])};
    for (int i = 1; i < samples; ++i) fractions.push_back(double(i) / samples);
    for (const double x : fractions) {
        cols.emplace_back(1.0 - x, x, 0.0);
        cost.push_back(phase_props(models[liquid], T, kPstd, std::vector<double>{1.0 - x, x}).G);
        bases();
        cols.pop_back();
        cost.pop_back();
    }
    return best;
}

// Every file of the family at its compound's composition: the compound
// alone where it lies below the liquid there (brute force), accepted by
// the check; the liquid reported with no positive driving force although
// below the reported plane (the case the certificate is for).
TEST(BalanceHold, FeedAtACompoundBesideALiquidWithAGap) {
    int held = 0;
    for (const char* file :
         {"gap-a9b-near.dat", "gap-a9b.dat", "gap-c11-1000.dat", "gap-c11-2000.dat", "gap-c11-300.dat",
          "gap-c13-1000.dat", "gap-c13-2000.dat", "gap-c13-300.dat", "gap-c31-1000.dat", "gap-c31-2000.dat",
          "gap-c31-300.dat", "gap-c73-1000.dat", "gap-c73-2000.dat", "gap-c73-300.dat", "gap-c91-2000.dat",
          "gap-compound.dat"}) {
        const System sys = read_dat(test_data(file));
        int compound = -1;
        for (int p = 0; p < sys.phase_count(); ++p)
            if (!sys.phases[usz(p)].is_mixture()) compound = p;
        ASSERT_GE(compound, 0);
        const Constituent& c = sys.constituent(compound, 0);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {c.stoich[0], c.stoich[1]};
        for (const double T : {900.0, 950.0, 1000.0, 1050.0, 1100.0}) {
            SCOPED_TRACE(::testing::Message() << file << ", " << T << " K");
            const double brute = binary_brute_force(sys, pr.elements(), T, kPstd, 1, 20000);
            for (const EquilibriumResult& r : cold_and_warm(pr, T)) {
                ASSERT_TRUE(at_brute_minimum(pr, r, brute));
                const PhaseResult& l = r.phases[usz(phase_of(sys, "LIQUID"))];
                EXPECT_LE(l.driving_force, 1e-8 * kR * T);
                if (!l.present && liquid_distance(sys, r) < -1e-3) ++held;
            }
        }
    }
    // The states the certificate decides (every one failed before).
    EXPECT_GE(held, 80) << held;
}

// A ternary: A7B3(s) and C(s) present leave one direction of the
// potentials free, bounded by AC(s) and BC(s) (a segment). Wide enough, the
// liquid is held out; with AC(s) lower the liquid's B-rich basin cannot
// be, and the minimum has the liquid: the certificate must fail there.
TEST(BalanceHold, TernaryFreeSegmentHoldsTheLiquidOutOnlyWhereItIsWideEnough) {
    for (const char* file : {"held-c73-wide.dat", "held-c73-short.dat"}) {
        const System sys = read_dat(test_data(file));
        const bool wide = std::string(file) == "held-c73-wide.dat";
        const int liquid = phase_of(sys, "LIQUID");
        for (const double C : {0.2, 0.5, 2.0}) {
            SCOPED_TRACE(::testing::Message() << file << ", C " << C);
            EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
            pr.element_amount = {0.7, 0.3, C};
            const double brute = ternary_brute_force(sys, pr.elements(), 1000.0, 20000);
            const double compound_and_C =
                phase_props(sys, phase_of(sys, "A7B3(s)"), 1000.0, kPstd, std::vector<double>{0.1}).G;
            // The liquid lowers G only where the segment is short.
            if (wide)
                EXPECT_NEAR(brute, compound_and_C, 1e-9);
            else
                EXPECT_LT(brute, compound_and_C - 1.0);
            for (const EquilibriumResult& r : cold_and_warm(pr, 1000.0)) {
                ASSERT_TRUE(at_brute_minimum(pr, r, brute));
                EXPECT_EQ(r.phases[usz(liquid)].present, !wide);
                if (wide) {
                    EXPECT_LT(liquid_distance(sys, r), -1e-3);
                }
            }
        }
    }
}

// C(s) at a trace beside A7B3(s): the liquid is held out (the brute force
// has no liquid), and the check's programme must not be misled by the
// trace element's scale into rejecting it.
TEST(BalanceHold, TraceOfTheSecondPhaseIsHeldOutAndAccepted) {
    const System sys = read_dat(test_data("held-c73-short.dat"));
    const double T = 866.62225517931836;
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    const double n = 19.676061162547548;
    pr.element_amount = {7.0 * n, 3.0 * n, 2.2511851347958323e-09};
    const double brute = ternary_brute_force(sys, pr.elements(), T, 20000);
    for (const EquilibriumResult& r : cold_and_warm(pr, T)) {
        ASSERT_TRUE(at_brute_minimum(pr, r, brute));
        EXPECT_FALSE(r.phases[usz(phase_of(sys, "LIQUID"))].present);
        EXPECT_LT(liquid_distance(sys, r), -1e-3);
    }
}

// Traces beside A7B3(s) or C(s) once ended in "no convergence": C alone or
// as AC(s) beside A7B3(s), where the compound and the phases at trace
// amounts that hold C fix every direction of the potentials and the border
// of a direction held free for the traces made Newton's system singular;
// and A7B3(s) at a trace beside C(s), the two compounds holding the feed
// exactly, where the border of the free direction (A and B alone, traces)
// failed the pivot test at the material's scale.
TEST(BalanceHold, TracesBesideTheCompoundsConvergeToTheBruteForceMinimum) {
    struct Trace {
        const char* file;
        double T, n, ac, c;  // K; mol of A7B3(s), AC(s), C(s)
    };
    for (const Trace& t : {Trace{"held-c73-short.dat", 1050.8548667146968, 16.912, 0.0, 1.1734529832825808e-11},
                           Trace{"held-c73-short.dat", 1110.3924433360462, 0.17642844378008488, 5.6717480911569485e-10, 0.0},
                           Trace{"held-c73-short.dat", 657.57890097858137, 1.6330298285267414e-15, 0.0, 0.049798090961550572},
                           Trace{"held-c73-wide.dat", 470.41581731994, 5.7973633973658233e-17, 0.0, 0.0018506117204131446}}) {
        const System sys = read_dat(test_data(t.file));
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {7.0 * t.n + t.ac, 3.0 * t.n, t.ac + t.c};
        const double brute = ternary_brute_force(sys, pr.elements(), t.T, 20000);
        for (const EquilibriumResult& r : cold_and_warm(pr, t.T)) ASSERT_TRUE(at_brute_minimum(pr, r, brute)) << t.T;
    }
}

// Warm from 1158.7 K the liquid sits B-rich beside C(s) and AC(s) at
// 1164.2 K; its A-rich basin lies below that plane, and the liquid there
// (x_B 0.35) beside C(s) alone is 82 J lower. The program that tests the
// move has the liquid at a composition whose basin, at the program's own
// potentials, does not reach x_B 0.35: column generation by local descents
// from its columns alone converged there and kept the higher state.
TEST(BalanceHold, WarmLiquidInItsHigherBasinMovesWhereTheProgramsDescentsDoNotReach) {
    const System sys = read_dat(test_data("held-c73-wide.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    const double AC = 1.783566111611296 + 0.059877115850641434, BC = 1.211050522912982;
    const double A7B3 = 0.31374480588379755 + 8.0678935924703776e-10, C = 4.768891159228926;
    pr.element_amount = {AC + 7.0 * A7B3, BC + 3.0 * A7B3, AC + BC + C};
    const double T = 1164.2023246852727, P = 43817.823275371738;
    const double brute = ternary_brute_force(sys, pr.elements(), T, 20000);
    Solver warm;
    warm.equilibrate(pr, at(1158.7490739456259, P));
    for (const EquilibriumResult& r : {Solver().equilibrate(pr, at(T, P)), warm.equilibrate(pr, at(T, P))}) {
        ASSERT_TRUE(at_brute_minimum(pr, r, brute));
    }
}

// The check's own test: A7B3(s) + C(s) at the same potentials, right in the
// wide system and wrong in the short one (the liquid's B-rich basin lies
// below every plane its free segment allows), built by hand.
TEST(BalanceHold, CheckRejectsAnAssemblageTheFreePotentialsCannotHold) {
    const System wide = read_dat(test_data("held-c73-wide.dat"));
    const System shrt = read_dat(test_data("held-c73-short.dat"));
    const double T = 1000.0;
    EquilibriumProblem pw = EquilibriumProblem::all_entered(wide), ps = EquilibriumProblem::all_entered(shrt);
    pw.element_amount = ps.element_amount = {0.7, 0.3, 0.5};
    EquilibriumResult r = Solver().equilibrate(pw, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    ASSERT_TRUE(accepted(pw, r));
    ASSERT_FALSE(r.phases[usz(phase_of(wide, "LIQUID"))].present);
    // Potentials inside both segments: A at 0, C at 0, B from A7B3(s).
    const double g = phase_props(wide, phase_of(wide, "A7B3(s)"), T, kPstd, std::vector<double>{1.0}).G;
    r.element_potential = {0.0, g / 3.0, 0.0};
    for (std::size_t k = 0; k < wide.constituents.size(); ++k) {
        const Constituent& c = wide.constituents[k];
        r.mu[k] = c.stoich[1] * g / 3.0;
    }
    for (PhaseResult& ph : r.phases)
        if (!ph.present) ph.driving_force = std::min(ph.driving_force, 0.0);
    EXPECT_TRUE(accepted(pw, r));
    const AcceptanceReport rep = check_equilibrium(ps, r);
    EXPECT_FALSE(rep.ok);
    bool named = false;
    for (const std::string& f : rep.faults)
        named = named || f.find("absent phase LIQUID would form") == 0;
    EXPECT_TRUE(named) << rep.summary();
}

// AB2C_s takes all of B and C (B:C exactly 2), A_s the rest of A: the
// potentials are free along one direction, which tilts the ternary liquid.
// From 437 K the liquid, A-rich with a little C, beside ABC_s and AB2C_s
// is lower (66 J at 437.8 K); it lies off the simplex's edges, where the
// proof that the balance holds the liquid out had started its descents
// (a fraction at zero stays there), and the compounds were reported.
// Against the three-element brute force, an upper bound of the minimum
// that does not trust the solver or the check.
TEST(BalanceHold, CompoundWithASpareElementLetsTheLiquidFormOffTheEdges) {
    const System sys = read_dat(test_data("melt-ternary.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {4.7639940269053707, 6.8368673114444807, 3.4184336557222403};
    for (const double T : {437.0, 440.0, 445.0}) {
        SCOPED_TRACE(::testing::Message() << T << " K");
        const LeverMinimum bf = lever_grid_minimum(sys, pr.element_amount, T, kPstd);
        ASSERT_TRUE(bf.found);
        for (const EquilibriumResult& r : cold_and_warm(pr, T)) {
            ASSERT_TRUE(r.succeeded()) << r.message;
            EXPECT_TRUE(accepted(pr, r));
            EXPECT_LE(r.G, bf.G + 1e-9) << bf.assemblage;
            EXPECT_TRUE(r.phases[usz(phase_of(sys, "LIQ"))].present);
        }
    }
}

// The largest element balance residual of a result relative to the
// element's amount in the problem, from the constituents' amounts alone.
double worst_balance(const System& sys, const EquilibriumProblem& pr, const EquilibriumResult& r) {
    const std::vector<double> b = pr.elements();
    double worst = 0.0;
    for (std::size_t j = 0; j < sys.elements.size(); ++j) {
        double held = 0.0;
        for (std::size_t g = 0; g < sys.constituents.size(); ++g) held += sys.constituents[g].stoich[j] * r.amount[g];
        const double off = std::abs(held - b[j]);
        worst = std::max(worst, b[j] > 0.0 ? off / b[j] : (off > 0.0 ? HUGE_VAL : 0.0));
    }
    return worst;
}

// A feed 5e-10 off A7B3(s)'s composition (8.3e-10 mol of A beyond its
// ratio beside C(s)): only the liquid can hold the excess. The answer once
// put it into A7B3(s), missing the B balance by 3.4e-10 of B, and reported
// success.
TEST(BalanceHold, TraceBeyondTheCompoundsRatioIsHeldByTheLiquid) {
    const Printed s = printed("eqcore_robust", "held-c73-wide.dat",
                              "mixed T=306.62185392381309 K P=13926.078886374506 Pa (warm from 311.02004087639955 K) "
                              "feed: C(s)/C(s) 27.781127960398887 C(s)/C(s) 0.19760076346576397 A7B3(s)/A7B3(s) "
                              "0.24658228544328584 LIQUID/A(l) 8.2733291542436768e-10");
    for (const EquilibriumResult& r : cold_and_warm(s)) {
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_LE(worst_balance(s.sys, s.pr, r), 1e-12);
        EXPECT_TRUE(accepted(s.pr, r));
        EXPECT_TRUE(r.phases[usz(phase_of(s.sys, "LIQUID"))].present);
    }
}

// A compound's composition plus an excess of one element, from 1e-6 of
// that element's amount down to below the balance tolerance: every answer
// holds the material to the solver's own tolerance and is accepted by the
// check (the excess in the phase that can take it up, or, below the
// tolerance, left to the compound), cold and warm.
TEST(BalanceHold, ExcessBeyondACompoundsCompositionKeepsEveryBalance) {
    struct Family {
        std::string path;
        std::vector<double> compound;  // element amounts of the compound's part of the feed
        std::vector<double> temperatures;
    };
    const std::vector<Family> families{
        {test_data("held-c73-wide.dat"), {7.0 * 0.2466, 3.0 * 0.2466, 27.98}, {306.6, 700.0, 1000.0}},
        {test_data("held-c73-short.dat"), {7.0 * 0.5, 3.0 * 0.5, 1.3}, {400.0, 900.0}},
        {example("hard/hard-ternary.dat"), {1.0, 2.0, 0.0}, {400.0, 800.0, 1000.0}}};
    int with_excess_phase = 0;
    for (const Family& f : families) {
        const System sys = read_dat(f.path);
        for (std::size_t e = 0; e < f.compound.size(); ++e)
            for (const double rel : {1e-6, 1e-8, 1e-10, 3e-11, 1e-11, 3e-12, 1e-12, 1e-13}) {
                EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
                pr.element_amount = f.compound;
                // An element the compound lacks gets its excess relative to the material.
                const double base = f.compound[e] > 0.0 ? f.compound[e] : f.compound[0] + f.compound[1];
                pr.element_amount[e] += rel * base;
                for (const double T : f.temperatures) {
                    SCOPED_TRACE(::testing::Message() << f.path << ", element " << e << " + " << rel << ", " << T << " K");
                    for (const EquilibriumResult& r : cold_and_warm(pr, T)) {
                        ASSERT_TRUE(r.succeeded()) << r.message;
                        EXPECT_LE(worst_balance(sys, pr, r), 1e-12);
                        EXPECT_TRUE(accepted(pr, r));
                        for (int p = 0; p < sys.phase_count(); ++p)
                            if (rel >= 1e-10 && r.phases[usz(p)].present && sys.phases[usz(p)].is_mixture())
                                ++with_excess_phase;
                    }
                }
            }
    }
    // The sweep reaches states where a mixture beside the compounds holds the excess.
    EXPECT_GT(with_excess_phase, 0);
}

}  // namespace
}  // namespace eqcore::robust
