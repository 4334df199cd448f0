// Equilibria with closed-form answers: ideal-gas dissociation constants,
// an ideal solution with a saturating pure phase, and a stoichiometric phase
// appearing exactly where its driving force changes sign.
#include <sstream>

#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

TEST(ClosedForm, IdealGasEquilibriumConstantsAtSeveralPressures) {
    const System sys = read_dat(example("n-o-example.dat"));
    Solver solver;
    for (const double T : {2000.0, 2800.0})
        for (const double P : {1e5, 1e6, 1e4}) {
            SCOPED_TRACE(T);
            SCOPED_TRACE(P);
            EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
            feed(pr, "N2", 1.0);
            feed(pr, "O2", 1.0);
            Conditions c;
            c.T = T;
            c.P = P;
            const EquilibriumResult r = solver.equilibrate(pr, c);
            expect_equilibrium(sys, r);
            const double RT = kR * T;
            const auto g = [&](const char* n) { return gibbs0(sys.constituents[static_cast<std::size_t>(constituent_of(sys, n))], T); };
            const auto x = [&](const char* n) { return r.mole_fraction[static_cast<std::size_t>(constituent_of(sys, n))]; };
            // N2 + O2 = 2 NO (no pressure dependence); O2 = 2 O.
            const double K1 = std::exp(-(2 * g("NO") - g("N2") - g("O2")) / RT);
            const double K2 = std::exp(-(2 * g("O") - g("O2")) / RT);
            EXPECT_TRUE(near_rel(x("NO") * x("NO") / (x("N2") * x("O2")), K1, 1e-8));
            EXPECT_TRUE(near_rel(x("O") * x("O") * (P / kPstd) / x("O2"), K2, 1e-8));
            if (P == 1e5) {
                EXPECT_TRUE(near_rel(K1, T == 2000.0 ? 4.047750e-4 : 9.041711e-3, 1e-6));
                EXPECT_TRUE(near_rel(K2, T == 2000.0 ? 4.522705e-7 : 3.006925e-3, 1e-6));
            }
        }
}

// An ideal solution SOLN {A1, B1} and pure A(s); G°(A(s)) - G°(A1) = 5 T - 5000,
// so A(s) melts at 1000 K and saturates the solution at
// x_A = exp((5 T - 5000) / RT).
const char* kIdealSolution = R"( Ideal solution with a saturating pure phase
    2    2    0    2    1
 A                        B
    10.00000000    20.00000000
   6   1   2   3   4   5   6
   6   1   2   3   4   5   6
 SOLN
 IDMX
 A1
   1  1     1.00000    0.00000
  4.00000000E+03  0.00000000E+00  0.00000000E+00  0.00000000E+00  0.00000000E+00
  0.00000000E+00  0.00000000E+00
 B1
   1  1     0.00000    1.00000
  4.00000000E+03 -1.00000000E+03  0.00000000E+00  0.00000000E+00  0.00000000E+00
  0.00000000E+00  0.00000000E+00
 A(s)
   1  1     1.00000    0.00000
  4.00000000E+03 -5.00000000E+03  5.00000000E+00  0.00000000E+00  0.00000000E+00
  0.00000000E+00  0.00000000E+00
 ######
)";

class IdealSolution : public ::testing::Test {
protected:
    System sys = [] {
        std::istringstream in(kIdealSolution);
        return read_dat(in, "ideal-solution.dat");
    }();
    Solver solver;
    EquilibriumResult at(double T, double a, double b) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {a, b};
        Conditions c;
        c.T = T;
        return solver.equilibrate(pr, c);
    }
    static double saturation(double T) { return std::exp((5 * T - 5000) / (kR * T)); }
    static double appearance(double xA) { return 5000 / (5 - kR * std::log(xA)); }  // T where x_A saturates
};

TEST_F(IdealSolution, OnePhaseAwayFromSaturation) {
    const EquilibriumResult r = at(900, 0.5, 0.5);
    expect_equilibrium(sys, r);
    const double RT = kR * 900;
    EXPECT_TRUE(near_rel(r.G, 0.5 * RT * std::log(0.5) + 0.5 * (-1000 + RT * std::log(0.5)), 1e-12));
    EXPECT_FALSE(r.phases[1].present);
    EXPECT_TRUE(near_rel(r.activity[2], 0.5 / saturation(900), 1e-10));  // a(A(s)) = x_A / x_A,sat
}

TEST_F(IdealSolution, SaturatedSolutionAndSolid) {
    const double T = 800, xs = saturation(T);
    const EquilibriumResult r = at(T, 0.95, 0.05);
    expect_equilibrium(sys, r);
    const double N = 0.05 / (1 - xs);
    EXPECT_TRUE(near_rel(r.mole_fraction[0], xs, 1e-12));
    EXPECT_TRUE(near_rel(r.phases[0].amount, N, 1e-12));
    EXPECT_TRUE(near_rel(r.phases[1].amount, 1 - N, 1e-12));
}

TEST_F(IdealSolution, SolidAppearsWhereItsDrivingForceChangesSign) {
    const double Ta = appearance(0.95);  // 921.40 K
    const EquilibriumResult below = at(Ta - 0.01, 0.95, 0.05);
    const EquilibriumResult above = at(Ta + 0.01, 0.95, 0.05);
    expect_equilibrium(sys, below);
    expect_equilibrium(sys, above);
    EXPECT_TRUE(below.phases[1].present);
    EXPECT_GT(below.phases[1].amount, 0.0);
    EXPECT_LT(below.phases[1].amount, 1e-3);
    EXPECT_FALSE(above.phases[1].present);
    EXPECT_LT(above.phases[1].driving_force, 0.0);
    EXPECT_GT(above.phases[1].driving_force, -1.0);
    // And the formation target finds it.
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.95, 0.05};
    Conditions c;
    c.T = 700;
    c.target.kind = TargetKind::formation;
    c.target.phase = 1;
    const EquilibriumResult r = solver.equilibrate(pr, c);
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, Ta, 1e-4);
}

TEST_F(IdealSolution, BadInputIsAnErrorNamingWhatWasWrong) {
    EquilibriumResult r = at(900, 0.0, 0.0);
    EXPECT_EQ(r.status, SolverStatus::no_material);
    r = at(100, 0.5, 0.5);
    EXPECT_EQ(r.status, SolverStatus::temperature_outside);
    EXPECT_NE(r.message.find("100"), std::string::npos) << r.message;
    r = at(900, -1.0, 0.5);
    EXPECT_EQ(r.status, SolverStatus::bad_conditions);
    EXPECT_NE(r.message.find("element A"), std::string::npos) << r.message;
    // Element B only in an eliminated constituent.
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.5, 0.5};
    pr.constituent_entered[1] = 0;
    Conditions c;
    c.T = 900;
    r = solver.equilibrate(pr, c);
    EXPECT_EQ(r.status, SolverStatus::element_not_carried);
    EXPECT_NE(r.message.find("element B"), std::string::npos) << r.message;
}

}  // namespace
}  // namespace eqcore::testing

namespace eqcore::testing {
namespace {

// A regular solution A-B with L0 = 20000 J/mol written twice (LIQUID#1,
// LIQUID#2): below 1202.7 K it splits into x_B and 1 - x_B with
// RT ln(x/(1-x)) + L0 (1 - 2x) = 0.
TEST(MiscibilityGap, TwoLiquidsOnTheCommonTangent) {
    const System sys = read_dat(std::string(EQCORE_SOLVER_TEST_DIR) + "/data/liquid-gap.dat");
    ASSERT_EQ(sys.phase_count(), 2);
    Solver solver;
    for (const double T : {800.0, 1100.0}) {
        const double RT = kR * T;
        double lo = 1e-12, hi = 0.5 - 1e-9;  // the B-poor side
        for (int i = 0; i < 200; ++i) {
            const double m = 0.5 * (lo + hi);
            ((RT * std::log(m / (1 - m)) + 20000 * (1 - 2 * m)) < 0 ? lo : hi) = m;
        }
        const double x = 0.5 * (lo + hi);
        for (const double xB : {0.5, 0.35, 0.6}) {  // inside the gap at both temperatures
            SCOPED_TRACE(T);
            SCOPED_TRACE(xB);
            EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
            pr.element_amount = {1 - xB, xB};
            Conditions c;
            c.T = T;
            const EquilibriumResult r = solver.equilibrate(pr, c);
            expect_equilibrium(sys, r);
            ASSERT_TRUE(r.phases[0].present && r.phases[1].present);
            // One liquid B-poor, the other B-rich; amounts by the lever rule.
            const bool first_poor = r.mole_fraction[1] < 0.5;
            const double poor = first_poor ? r.phases[0].amount : r.phases[1].amount;
            EXPECT_NEAR(r.mole_fraction[first_poor ? 1 : 3], x, 1e-9);
            EXPECT_NEAR(r.mole_fraction[first_poor ? 3 : 1], 1 - x, 1e-9);
            EXPECT_NEAR(poor, (1 - x - xB) / (1 - 2 * x), 1e-9);
        }
    }
}

}  // namespace
}  // namespace eqcore::testing
