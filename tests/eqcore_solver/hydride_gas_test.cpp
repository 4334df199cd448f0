// Zr-H states where an interstitial hydride holds (nearly) all the metal and
// hydrogen gas takes the rest: the feed at or beyond the hydride's H-rich
// edge, where its vacancies are traces. Each state is solved cold and warm
// and must be accepted by the acceptance check (which recomputes every
// potential and searches every absent phase itself), with the phases named.
#include <set>

#include "check/acceptance.hpp"
#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

struct HydrideState {
    const char* what;
    double T, P;      // K, Pa
    double zr, h;     // mol
    std::set<std::string> phases;  // present at equilibrium
};

std::set<std::string> present(const System& sys, const EquilibriumResult& r) {
    std::set<std::string> out;
    for (int p = 0; p < sys.phase_count(); ++p)
        if (r.phases[static_cast<std::size_t>(p)].present) out.insert(sys.phases[static_cast<std::size_t>(p)].name);
    return out;
}

void expect_state(const System& sys, const HydrideState& st) {
    SCOPED_TRACE(st.what);
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {st.zr, st.h};
    Conditions c;
    c.T = st.T;
    c.P = st.P;
    Solver solver;
    const EquilibriumResult cold = solver.equilibrate(pr, c);
    ASSERT_TRUE(cold.succeeded()) << cold.message;
    const AcceptanceReport rep = check_equilibrium(pr, cold);
    EXPECT_TRUE(rep.ok) << rep.summary();
    EXPECT_EQ(present(sys, cold), st.phases);
    // Warm, from a state 10 K away: the same equilibrium.
    Solver warm_solver;
    Conditions near = c;
    near.T = st.T + 10.0;
    ASSERT_TRUE(warm_solver.equilibrate(pr, near).succeeded());
    const EquilibriumResult warm = warm_solver.equilibrate(pr, c);
    ASSERT_TRUE(warm.succeeded()) << warm.message;
    EXPECT_EQ(present(sys, warm), st.phases);
    EXPECT_TRUE(near_rel(warm.G, cold.G, 1e-10));
}

TEST(HydrideWithHydrogenGas, ExactlyStoichiometricDihydrideTakesTheGasIn) {
    // ZrH2 exactly: the hydride alone would need its vacancies at zero (an
    // element potential without bound); the gas holds the hydrogen they
    // leave.
    const System sys = read_dat(example("zr-h.dat"));
    expect_state(sys, {"ZrH2 at 559 K, 1075 Pa", 558.98026357965284, 1075.413600357628, 1.703709967598303,
                       3.407419935196606, {"gas_ideal", "ZRH2_EPSILON"}});
    expect_state(sys, {"ZrH2 at 477 K, 70 bar", 476.85508907195481, 6978079.2510208637, 2.0257446723318195,
                       4.051489344663639, {"gas_ideal", "ZRH2_EPSILON"}});
    expect_state(sys, {"ZrH2 at 906 K, 1611 Pa", 906.24364260221614, 1610.9703844741991, 0.3304682383350977,
                       0.6609364766701954, {"gas_ideal", "ZRH2_DELTA"}});
}

TEST(HydrideWithHydrogenGas, HydrogenRichFeedStartsFromTheFilledHydride) {
    // H/Zr = 3.5 and 2.04: the start puts the hydride at its filled corner
    // (not half its interstitial sites vacant), and Newton keeps the gas.
    const System sys = read_dat(example("zr-h.dat"));
    expect_state(sys, {"H/Zr 3.5 at 447 K", 447.27061886882859, 38796.170494993559, 0.018809057675793911,
                       0.047402798807014846, {"gas_ideal", "ZRH2_EPSILON"}});
    expect_state(sys, {"H/Zr 2.04 at 419 K", 419.33422260250398, 100000.0, 1.7098563227798964, 3.4840046261455658,
                       {"gas_ideal", "ZRH2_EPSILON"}});
}

TEST(HydrideWithHydrogenGas, TwoHydridesNearTheAlmostStableZr2H) {
    // Zr0.65H0.35 at 700 K: ZRH (hcp with dissolved hydrogen) and the
    // delta hydride, with ZR2H short of forming by about 130 J/mol.
    const System sys = read_dat(example("zr-h.dat"));
    expect_state(sys, {"Zr0.65H0.35 at 700 K", 700.0, 101325.0, 0.65, 0.35, {"ZRH", "ZRH2_DELTA"}});
}

}  // namespace
}  // namespace eqcore::testing
