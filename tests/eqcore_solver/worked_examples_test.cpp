// The equilibria of the two small example files (values computed
// independently from the files' coefficients).
#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

class NitrogenOxygen : public ::testing::Test {
protected:
    System sys = read_dat(example("n-o-example.dat"));
    Solver solver;

    EquilibriumResult at(double T) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        feed(pr, "N2", 1.0);
        feed(pr, "O2", 1.0);
        Conditions c;
        c.T = T;
        c.P = 1e5;
        return solver.equilibrate(pr, c);
    }
};

struct NOCase {
    double T, nN2, nNO, nO, nO2, piN, piO, G, H;
};

TEST_F(NitrogenOxygen, AmountsPotentialsAndEnergiesAt2000And2800K) {
    const NOCase cases[] = {
        {2000, 0.9900430, 1.991394e-2, 9.462127e-4, 0.9895699, -230061.511, -244878.134, -949879.290, 116596.573},
        {2800, 0.9554733, 8.905337e-2, 7.499383e-2, 0.9179764, -336520.429, -358449.434, -1389939.727, 203902.481},
    };
    for (const NOCase& k : cases) {
        SCOPED_TRACE(k.T);
        const EquilibriumResult r = at(k.T);
        expect_equilibrium(sys, r);
        EXPECT_TRUE(near_rel(r.amount[0], k.nN2, 1e-6));
        EXPECT_TRUE(near_rel(r.amount[1], k.nNO, 1e-6));
        EXPECT_TRUE(near_rel(r.amount[2], k.nO, 1e-6));
        EXPECT_TRUE(near_rel(r.amount[3], k.nO2, 1e-6));
        EXPECT_TRUE(near_rel(r.element_potential[0], k.piN, 1e-8));
        EXPECT_TRUE(near_rel(r.element_potential[1], k.piO, 1e-8));
        EXPECT_TRUE(near_rel(r.G, k.G, 1e-8));
        EXPECT_TRUE(near_rel(r.H, k.H, 1e-7));
        // Both feed species have H = 0 at 298.15 K: the heat equals H.
        EXPECT_TRUE(near_rel(r.heat, k.H, 1e-7));
    }
}

TEST_F(NitrogenOxygen, WarmAndColdStartsAgree) {
    const EquilibriumResult warm0 = at(2000);
    const EquilibriumResult warm = at(2800);  // starts from the 2000 K solution
    solver.forget();
    const EquilibriumResult cold = at(2800);
    ASSERT_TRUE(warm.succeeded() && cold.succeeded() && warm0.succeeded());
    for (std::size_t g = 0; g < cold.amount.size(); ++g) EXPECT_TRUE(near_rel(warm.amount[g], cold.amount[g], 1e-9));
}

class SilverCopper : public ::testing::Test {
protected:
    System sys = read_dat(example("ag-cu-example.dat"));
    Solver solver;

    EquilibriumResult at(double T) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        feed(pr, "Ag(s)", 0.6);
        feed(pr, "Cu(s)", 0.4);
        Conditions c;
        c.T = T;
        return solver.equilibrate(pr, c);
    }
};

TEST_F(SilverCopper, OneLiquidAt1400K) {
    const EquilibriumResult r = at(1400);
    expect_equilibrium(sys, r);
    const int liq = phase_of(sys, "LIQUID");
    EXPECT_TRUE(r.phases[static_cast<std::size_t>(liq)].present);
    EXPECT_TRUE(near_rel(r.phases[static_cast<std::size_t>(liq)].amount, 1.0, 1e-9));
    EXPECT_TRUE(near_rel(r.mole_fraction[static_cast<std::size_t>(constituent_of(sys, "LIQUID/Cu(liq)"))], 0.4, 1e-9));
    EXPECT_TRUE(near_rel(r.G, -87963.173, 1e-8));
    EXPECT_TRUE(near_rel(r.heat, 47942.996, 1e-8));
    for (const char* absent : {"GAS", "Ag(s)", "Cu(s)"}) EXPECT_FALSE(r.phases[static_cast<std::size_t>(phase_of(sys, absent))].present) << absent;
    // Solid activities against the liquid: 0.647379 and 0.607831.
    EXPECT_TRUE(near_rel(r.activity[static_cast<std::size_t>(constituent_of(sys, "Ag(s)"))], 0.647379, 1e-6));
    EXPECT_TRUE(near_rel(r.activity[static_cast<std::size_t>(constituent_of(sys, "Cu(s)"))], 0.607831, 1e-6));
    // Vapour over the liquid: activities of the gas species are p_i / 1 bar.
    EXPECT_TRUE(near_rel(r.activity[static_cast<std::size_t>(constituent_of(sys, "Ag"))], 5.668463e-5, 1e-6));
    EXPECT_TRUE(near_rel(r.activity[static_cast<std::size_t>(constituent_of(sys, "Cu"))], 8.558352e-7, 1e-6));
}

TEST_F(SilverCopper, BothSolidsAt1000K) {
    const EquilibriumResult r = at(1000);
    expect_equilibrium(sys, r);
    EXPECT_TRUE(near_rel(r.amount[static_cast<std::size_t>(constituent_of(sys, "Ag(s)"))], 0.6, 1e-12));
    EXPECT_TRUE(near_rel(r.amount[static_cast<std::size_t>(constituent_of(sys, "Cu(s)"))], 0.4, 1e-12));
    const PhaseResult& liq = r.phases[static_cast<std::size_t>(phase_of(sys, "LIQUID"))];
    EXPECT_FALSE(liq.present);
    // Least driving force of the liquid: 778.289 J/mol at x_Cu ~ 0.2495.
    EXPECT_TRUE(near_rel(liq.driving_force, -778.289, 1e-6));
    EXPECT_NEAR(r.mole_fraction[static_cast<std::size_t>(constituent_of(sys, "LIQUID/Cu(liq)"))], 0.2495, 1e-3);
}

}  // namespace
}  // namespace eqcore::testing
