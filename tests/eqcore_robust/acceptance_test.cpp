// The acceptance check itself: it must find the least tangent-plane distance
// of a non-ideal mixture (against a published value of the Ag-Cu example),
// and reject results that are wrong in each of the ways it looks for, so
// that the stress harness cannot pass vacuously.
#include <cmath>

#include <gtest/gtest.h>

#include "check/checked_equilibrate.hpp"
#include "interstitial_scan.hpp"
#include "robust_util.hpp"
#include "thermo/models.hpp"
#include "thermo/standard.hpp"

namespace eqcore::robust {
namespace {

bool has_fault(const AcceptanceReport& rep, const std::string& text) {
    for (const std::string& f : rep.faults)
        if (f.find(text) != std::string::npos) return true;
    return false;
}

// At 1000 K the Ag-Cu liquid is least unstable against the two pure solids
// at x_Cu = 0.2495, 778.289 J/mol above their tangent plane (worked example
// of the data format).
TEST(TangentDistance, AgCuLiquidAgainstBothSolids) {
    const System sys = read_dat(example("ag-cu-example.dat"));
    const double T = 1000.0;
    const std::vector<double> pi = {gibbs0(sys.constituents[static_cast<std::size_t>(constituent_of(sys, "Ag(s)"))], T),
                                    gibbs0(sys.constituents[static_cast<std::size_t>(constituent_of(sys, "Cu(s)"))], T)};
    const int liquid = phase_of(sys, "LIQUID");
    std::vector<double> x;
    const double D = least_tangent_distance(sys, liquid, T, kPstd, pi, {1, 1}, 4, 1, &x);
    EXPECT_NEAR(D * kR * T, 778.289, 1e-3);
    EXPECT_NEAR(x[1], 0.2495, 1e-3);
}

// An interstitial phase (Fe)(C,Va)3 whose least distance lies at a small
// carbon fraction: the search must reach it from its starts rather than
// stall at the carbon-free end (where the distance is 0.017 RT higher). The
// reference is a scan of the site fraction.
TEST(TangentDistance, InterstitialMinimumNearTheMetalEnd) {
    const System sys = read_dat(example("fe-c.dat"));
    const double T = 1866.5386;
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.977414, 0.022586};
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    const int bcc = phase_of(sys, "BCC_A2");
    const auto model = make_model(sys, bcc);
    const double scan = scanned_distance(sys, *model, bcc, T, r.element_potential);
    std::vector<double> x;
    const double D = least_tangent_distance(sys, bcc, T, kPstd, r.element_potential, {1, 1}, 4, 1, &x);
    EXPECT_LE(D, scan + 1e-9);
    EXPECT_NEAR(x[0], 0.00533, 1e-4);
}

class Rejects : public ::testing::Test {
protected:
    System agcu_ = read_dat(example("ag-cu-example.dat"));
    System cho_ = read_dat(example("c-h-o-n.dat"));
    Solver solver_;
};

TEST_F(Rejects, AmountsThatBreakTheBalancesOrThePotentials) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "CH4", 1.0);
    feed(pr, "O2", 2.0);
    feed(pr, "N2", 7.52);
    const EquilibriumResult good = solver_.equilibrate(pr, at(2000.0));
    ASSERT_TRUE(good.succeeded()) << good.message;
    ASSERT_TRUE(accepted(pr, good));
    const auto g = [&](const char* n) { return static_cast<std::size_t>(constituent_of(cho_, n)); };

    EquilibriumResult r = good;  // lost material
    r.amount[g("N2")] *= 1.0 + 1e-8;
    r.phases[0].amount = 0.0;
    for (int k = 0; k < cho_.phases[0].count; ++k) r.phases[0].amount += r.amount[static_cast<std::size_t>(k)];
    EXPECT_TRUE(has_fault(check_equilibrium(pr, r), "element N"));

    r = good;  // balanced, but not at the minimum: 2 H2O -> 2 H2 + O2 shifted by 1e-6 mol
    r.amount[g("H2O")] -= 2e-6;
    r.amount[g("H2")] += 2e-6;
    r.amount[g("O2")] += 1e-6;
    r.phases[0].amount += 1e-6;
    const AcceptanceReport rep = check_equilibrium(pr, r);
    EXPECT_FALSE(rep.ok);
    EXPECT_TRUE(has_fault(rep, "mu - sum a pi")) << rep.summary();

    r = good;  // a negative amount
    r.amount[g("O")] = -r.amount[g("O")];
    EXPECT_FALSE(check_equilibrium(pr, r).ok);

    r = good;  // a wrong Gibbs energy
    r.G *= 1.0 + 1e-6;
    EXPECT_TRUE(has_fault(check_equilibrium(pr, r), "differs from sum n mu"));
}

// A result computed without a phase is checked against the problem that
// has it: the check must see that the phase would form.
TEST_F(Rejects, AMissingStoichiometricPhase) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(cho_);
    feed(pr, "CH4", 1.0);
    feed(pr, "O2", 0.3);
    EquilibriumProblem without = pr;
    without.phase_entered[static_cast<std::size_t>(phase_of(cho_, "C_graphite(s)"))] = 0;
    const EquilibriumResult r = solver_.equilibrate(without, at(1000.0));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(without, r));
    EXPECT_TRUE(has_fault(check_equilibrium(pr, r), "absent phase C_graphite(s) would form"));
}

TEST_F(Rejects, AMissingNonIdealLiquid) {
    // 0.6 Ag + 0.4 Cu at 1400 K is one liquid; without it, two solids.
    EquilibriumProblem pr = EquilibriumProblem::all_entered(agcu_);
    feed(pr, "Ag(s)", 0.6);
    feed(pr, "Cu(s)", 0.4);
    EquilibriumProblem without = pr;
    without.phase_entered[static_cast<std::size_t>(phase_of(agcu_, "LIQUID"))] = 0;
    const EquilibriumResult r = solver_.equilibrate(without, at(1400.0));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(without, r));
    EXPECT_TRUE(has_fault(check_equilibrium(pr, r), "absent phase LIQUID would form"));
}

TEST_F(Rejects, AMissingSecondLiquidOfAGap) {
    // One homogeneous liquid inside the gap: the second copy would split off.
    const System gap = read_dat(test_data("asym-gap.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(gap);
    feed(pr, "LIQUID#1/A(l)", 0.55);
    feed(pr, "LIQUID#1/B(l)", 0.45);
    EquilibriumProblem one = pr;
    one.phase_entered[1] = 0;
    const EquilibriumResult r = solver_.equilibrate(one, at(1000.0));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(accepted(one, r));
    EXPECT_TRUE(has_fault(check_equilibrium(pr, r), "absent phase LIQUID#2 would form"));
}

}  // namespace
}  // namespace eqcore::robust

namespace eqcore::robust {
namespace {

// The checked mode passes an accepted result through and turns a rejected
// one (here: a tolerance no result can meet) into a failure with the faults.
TEST(CheckedMode, RejectedResultBecomesAFailure) {
    const System sys = read_dat(example("n-o-example.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    feed(pr, "N2", 1.0);
    feed(pr, "O2", 1.0);
    Solver solver;
    EquilibriumResult r;
    equilibrate_checked(solver, pr, at(2000.0), r);
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(amount_of(sys, r, "NO"), 1.991394e-2, 1e-6 * 1.991394e-2);  // worked example of the data format
    AcceptanceOptions impossible;
    impossible.energy_tol = -1.0;
    equilibrate_checked(solver, pr, at(2000.0), r, impossible);
    EXPECT_EQ(r.status, SolverStatus::no_convergence);
    EXPECT_EQ(r.message.rfind("result rejected by the acceptance check: G = ", 0), 0u) << r.message;
}

// Ag and Ni at 255 K in the hard ternary file: two nearly pure fcc copies
// whose standard energies are 0, so G, sum n mu and sum b pi are all about
// -1e-7 J. The identities were once judged relative to sum |n mu| alone and
// the correct answer rejected over rounding; RT per mol is the least scale.
TEST(AcceptanceCheck, IdentitiesOfAnAnswerWithGNearZeroAreJudgedOnRT) {
    const System sys = read_dat(example("hard/hard-ternary.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.36696146964833426, 0.0, 0.36696146964833426};
    const EquilibriumResult r = Solver().equilibrate(pr, at(255.14401465415904, 3299924.2491620136));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_LT(std::abs(r.G), 1e-3);
    EXPECT_TRUE(accepted(pr, r));
    EXPECT_TRUE(r.phases[static_cast<std::size_t>(phase_of(sys, "FCC#1"))].present);
    EXPECT_TRUE(r.phases[static_cast<std::size_t>(phase_of(sys, "FCC#2"))].present);
}

}  // namespace
}  // namespace eqcore::robust
