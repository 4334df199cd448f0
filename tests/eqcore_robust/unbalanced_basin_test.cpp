// A present mixture written once whose other basin cannot balance the feed:
// the program with the phase at that basin's composition (and near it) has
// no solution, so it decides nothing and the state is tried from the phase
// moved there. The answers, cold and warm, against a brute-force minimum
// over the one-instance assemblages of the binary.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "own_basins_util.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

// A converged result the check accepts, with exactly `phases` present, at
// the brute-force minimum.
void expect_brute_minimum(const EquilibriumProblem& pr, const EquilibriumResult& r, const std::vector<int>& phases,
                          double brute) {
    ASSERT_TRUE(at_brute_minimum(pr, r, brute));
    EXPECT_EQ(present_phases(r), phases);
}

// A binary state of one of the gap-*.dat files: the liquid beside one
// compound, at feed fraction B of the second element.
struct GapState {
    System sys;
    std::vector<int> both;  // the liquid and the compound
    EquilibriumProblem pr;
    double brute = 0.0;     // the brute-force minimum at T
    GapState(const char* file, const char* compound, double T, double B)
        : sys(read_dat(test_data(file))),
          both{phase_of(sys, "LIQUID"), phase_of(sys, compound)},
          pr(EquilibriumProblem::all_entered(sys)) {
        pr.element_amount = {1.0 - B, B};
        brute = binary_brute_force(sys, pr.elements(), T, kPstd, 1, 20000);
    }
    GapState(const GapState&) = delete;  // pr points at this sys
    GapState& operator=(const GapState&) = delete;
};

// gap-compound.dat: the liquid (gap from about 3 % to 85 % B at 1000 K,
// written once) beside AB(s), which lies a little above the liquid's
// common tangent. With 60 % B the liquid sits B-rich beside AB and its
// A-rich side lies below the state's plane, but no liquid with less than
// half B can make 60 % B beside AB; with 30 % B the same from the other
// side. The liquid at the feed alone is higher still: the answer is the
// liquid on the feed's side of AB, beside it. With the liquid moved to its
// other side, Newton drives it out and is left with AB alone, which cannot
// hold the feed: that assemblage ends once Newton stands still, not after
// its 200 iterations (about 40-55 in all now, 215 before).
TEST(UnbalancedBasin, LiquidBesideACompoundInItsGapKeepsTheSideThatBalances) {
    const System sys = read_dat(test_data("gap-compound.dat"));
    const std::vector<int> both{phase_of(sys, "LIQUID"), phase_of(sys, "AB(s)")};
    for (const double B : {0.6, 0.3, 0.55}) {
        for (const double T : {1000.0, 1050.0}) {
            SCOPED_TRACE(::testing::Message() << "x(B) " << B << ", " << T << " K");
            EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
            pr.element_amount = {1.0 - B, B};
            // An assemblage's G on a grid of the liquid's fractions: never
            // below the least, above it by the grid's error (well below 1e-3 J).
            const double brute = binary_brute_force(sys, pr.elements(), T, kPstd, 1, 20000);
            for (const EquilibriumResult& r : cold_and_warm(pr, T)) {
                expect_brute_minimum(pr, r, both, brute);
                EXPECT_LT(r.iterations, 100);
            }
        }
    }
}

// gap-a9b.dat: the same liquid beside A9B(s) (10 % B), 1000 J per mol of
// atoms above the liquid's common tangent there. With 40 % B the answer is
// the liquid B-rich beside A9B; warm from it, 18-22 % B keeps that
// assemblage (the plain calculation stops there, 95-310 J high), though the
// liquid alone at the feed is lower: its A-rich basin reaches past the
// feed. The program with the liquid near its least distance (about 3 % B)
// beside A9B cannot make the feed, so it decides nothing; the liquid moved
// from its B-rich side towards that composition balances until it is about
// as rich in B as the feed, and the calculation from there must find the
// lower state. The answer against the brute-force minimum.
TEST(UnbalancedBasin, LiquidBesideACompoundLeavesItWhereItsOtherBasinReachesTheFeed) {
    const System sys = read_dat(test_data("gap-a9b.dat"));
    const std::vector<int> liquid{phase_of(sys, "LIQUID")};
    const auto feed = [&](double B) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {1.0 - B, B};
        return pr;
    };
    const double T = 1000.0;
    for (const double B : {0.18, 0.2, 0.22}) {
        SCOPED_TRACE(::testing::Message() << "x(B) " << B);
        const EquilibriumProblem pr = feed(B);
        const double brute = binary_brute_force(sys, pr.elements(), T, kPstd, 1, 20000);
        for (const bool leave : {false, true}) {
            SolverOptions o;
            o.leave_higher_basins = leave;
            Solver s(o);
            ASSERT_TRUE(s.equilibrate(feed(0.4), at(T)).succeeded());
            const EquilibriumResult r = s.equilibrate(pr, at(T));
            ASSERT_TRUE(r.succeeded()) << r.message;
            if (!leave) {
                // The path under test: the plain warm calculation keeps
                // the higher assemblage.
                EXPECT_GT(r.G, brute + 50.0);
                continue;
            }
            expect_brute_minimum(pr, r, liquid, brute);
        }
    }
}

// gap-a9b-near.dat: A9B(s) only 300 J above the tangent. Cold at 1050 K
// with 11-14 % B the plain calculation ends 40-180 J high with the liquid
// B-rich beside A9B; the program with the liquid at its deepest basin
// (A-rich) beside A9B cannot make the feed, and no cold start follows a
// cold calculation: only the liquid moved towards that basin as far as
// the balance allows leads to the lower state.
TEST(UnbalancedBasin, ColdLiquidBesideACompoundReachesItsOtherBasinThroughABalancedStart) {
    const System sys = read_dat(test_data("gap-a9b-near.dat"));
    const double T = 1050.0;
    SolverOptions plain;
    plain.leave_higher_basins = false;
    for (const double B : {0.11, 0.12, 0.13, 0.14}) {
        SCOPED_TRACE(::testing::Message() << "x(B) " << B);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {1.0 - B, B};
        const double brute = binary_brute_force(sys, pr.elements(), T, kPstd, 1, 20000);
        EXPECT_GT(Solver(plain).equilibrate(pr, at(T)).G, brute + 20.0);  // the path under test
        const EquilibriumResult r = Solver().equilibrate(pr, at(T));
        ASSERT_TRUE(at_brute_minimum(pr, r, brute));
    }
}

// gap-a9b.dat at 1050 K, 39-41 % B: the liquid alone at the feed, inside
// its gap, has basins below its plane on both sides. The deepest is A-rich
// (about 4 % B), where beside A9B it cannot make the feed, so the program
// decides nothing there; the lower state is the liquid in its B-rich basin
// (about 78 % B) beside A9B, about 250 J lower, which only the basin on the
// other side of the present composition reaches. Cold and warm from 30 K
// above, against the brute-force minimum; and the liquid left alone (the
// solver not leaving higher basins) is rejected by the check, whose own
// search must try the B-rich basin too although the A-rich one is deeper.
TEST(UnbalancedBasin, LiquidInsideItsGapTakesTheBasinThatBalancesNotTheDeepest) {
    const System sys = read_dat(test_data("gap-a9b.dat"));
    const std::vector<int> both{phase_of(sys, "LIQUID"), phase_of(sys, "A9B(s)")};
    const double T = 1050.0;
    for (const double B : {0.39, 0.4, 0.41}) {
        SCOPED_TRACE(::testing::Message() << "x(B) " << B);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {1.0 - B, B};
        const double brute = binary_brute_force(sys, pr.elements(), T, kPstd, 1, 20000);
        const EquilibriumResult alone = Solver(as_before()).equilibrate(pr, at(T));
        ASSERT_TRUE(alone.succeeded()) << alone.message;
        EXPECT_GT(alone.G, brute + 200.0);
        EXPECT_TRUE(rejected_naming(pr, alone, "LIQUID", 200.0)) << check_equilibrium(pr, alone).summary();
        std::vector<EquilibriumResult> out{Solver().equilibrate(pr, at(T))};
        Solver s;
        s.equilibrate(pr, at(T + 30.0));
        out.push_back(s.equilibrate(pr, at(T)));
        for (const EquilibriumResult& r : out) {
            expect_brute_minimum(pr, r, both, brute);
        }
    }
}

// gap-c73-1000.dat (A7B3(s), 1000 J above the liquid's common tangent at
// 30 % B) at 1000 K, 25-27 % B; gap-c31-2000.dat (A3B(s), 2000 J above at
// 25 % B) at 950 K, 50 % B; gap-c11-2000.dat (AB(s), 2000 J above at 50 %
// B) at 900 K, 34 % B: the liquid alone at the feed sits inside its gap;
// the lower state is the liquid in one of its basins beside the compound. The program finds it, but its start spread each
// constituent of the liquid by the ideal composition at the program's
// potentials, which for this liquid lies across its gap: the start was
// back in the higher basin and Newton returned to the liquid alone
// (0.3-200 J high). The start's spread now takes the liquid's excess
// potentials at the program's composition. Cold and warm from 30 K below
// and above, against the brute-force minimum.
TEST(UnbalancedBasin, StartOutOfAHigherBasinStaysInTheBasinTheProgramChose) {
    struct Case {
        const char* file;
        const char* compound;
        double T, B, high_by;
    };
    for (const Case& c : {Case{"gap-c73-1000.dat", "A7B3(s)", 1000.0, 0.25, 30.0},
                          Case{"gap-c73-1000.dat", "A7B3(s)", 1000.0, 0.26, 20.0},
                          Case{"gap-c73-1000.dat", "A7B3(s)", 1000.0, 0.27, 10.0},
                          Case{"gap-c31-2000.dat", "A3B(s)", 950.0, 0.5, 3.0},
                          Case{"gap-c11-2000.dat", "AB(s)", 900.0, 0.34, 150.0}}) {
        SCOPED_TRACE(::testing::Message() << c.file << ", x(B) " << c.B << ", " << c.T << " K");
        const GapState g(c.file, c.compound, c.T, c.B);
        const EquilibriumProblem& pr = g.pr;
        const EquilibriumResult alone = Solver(as_before()).equilibrate(pr, at(c.T));
        ASSERT_TRUE(alone.succeeded()) << alone.message;
        EXPECT_GT(alone.G, g.brute + c.high_by);  // the path under test
        for (const EquilibriumResult& r : cold_and_warm(pr, c.T)) {
            expect_brute_minimum(pr, r, g.both, g.brute);
        }
    }
}

// The liquid alone at the feed, converged inside its gap, with the
// compound below its plane: the compound entered beside the liquid where
// its energy curves down, Newton drove the compound out again, and the
// calculation ended "keeps entering and leaving" (gap-c31-1000.dat at
// 1075 K, 52 % B; gap-c73-2000.dat at 925 K, 59 % B; gap-c11-2000.dat at
// 1000 K, 14 % B). The answer is the liquid in its other basin beside the
// compound, reached by moving the liquid out of its higher basin from the
// converged state the cycle keeps returning to. Cold and warm from 30 K
// below and above, against the brute-force minimum.
TEST(UnbalancedBasin, CompoundThatKeepsLeavingALiquidInsideItsGapEntersWithTheLiquidMoved) {
    struct Case {
        const char* file;
        const char* compound;
        double T, B;
    };
    for (const Case& c : {Case{"gap-c31-1000.dat", "A3B(s)", 1075.0, 0.52},
                          Case{"gap-c73-2000.dat", "A7B3(s)", 925.0, 0.59},
                          Case{"gap-c11-2000.dat", "AB(s)", 1000.0, 0.14}}) {
        SCOPED_TRACE(::testing::Message() << c.file << ", x(B) " << c.B << ", " << c.T << " K");
        const GapState g(c.file, c.compound, c.T, c.B);
        const EquilibriumProblem& pr = g.pr;
        EXPECT_FALSE(Solver(as_before()).equilibrate(pr, at(c.T)).succeeded());  // the path under test
        for (const EquilibriumResult& r : cold_and_warm(pr, c.T)) {
            expect_brute_minimum(pr, r, g.both, g.brute);
        }
    }
}

}  // namespace
}  // namespace eqcore::robust
