// The Cu-Ca-S liquid of example 2, written once, beside its five solids:
// states in which the liquid, converged, sits in a basin higher than one it
// can reach (the calculation that keeps it there ends high), and states in
// which it sits where it belongs. Cold and warm, every answer must be
// accepted by the check, be the assemblage it reports (its energy
// recomputed from the reported site fractions and amounts by the dense-jet
// evaluation), and lie at or below the least one-instance assemblage a
// search over the liquid's site fractions and amounts finds (within 1e-8 J
// of the answer on four of these states, 5 J above it at most): a liquid
// kept in its higher basin (a "stay" where the balance lets it leave),
// 67 J high or more, fails here.
#include <cmath>
#include <vector>

#include "check/stress.hpp"
#include "ionic_brute_force.hpp"
#include "ionic_util.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

using testing::ionic_file;
using testing::phase_named;

struct State {
    double T;
    std::vector<double> b;  // Cu, Ca, S
    bool kept_high;         // the cold calculation that keeps the liquid in its converged basin ends high
};

// Found by comparing the calculation with and without leaving higher
// basins over random feeds and temperatures.
const State kStates[] = {
    {1352.5203, {0.936820, 0.525558, 0.615958}, true},
    {1623.8141, {0.740946, 0.918838, 0.477054}, true},
    {1630.0193, {0.201067, 0.669666, 0.389396}, true},
    {1987.0572, {0.594821, 0.736946, 0.659276}, true},
    // Warm from 30 K above, the liquid converges in its higher basin and
    // only the fallbacks after an undecided verdict (no proof either way)
    // reach the least state: a "stay" claimed there without a proof ends
    // 67 J high.
    {1521.3994, {0.123503, 0.845524, 0.548805}, false},
    {1500.0, {0.5, 0.2, 0.4}, false},
    {1200.0, {0.3, 0.3, 0.5}, false},
};

EquilibriumResult solve(const EquilibriumProblem& pr, double T, double T_from, SolverOptions opt = {}) {
    Solver s(opt);
    Conditions c;
    if (T_from > 0.0) {
        c.T = T_from;
        s.equilibrate(pr, c);
    }
    c.T = T;
    return s.equilibrate(pr, c);
}

// The energy of the assemblage a result reports, evaluated apart from the
// solver: the liquid at its site fractions, the solids at their standard
// energies.
double reported_energy(const System& sys, int liquid, const EquilibriumResult& r) {
    double G = 0.0;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const PhaseResult& ph = r.phases[static_cast<std::size_t>(p)];
        if (!ph.present) continue;
        if (p == liquid) {
            G += ph.amount * testing::ionic_liquid_energy(sys, liquid, r.T, r.P, ph.site_fraction);
        } else {
            const double one = 1.0;
            G += ph.amount * phase_props(sys, p, r.T, r.P, std::span<const double>(&one, 1)).G;
        }
    }
    return G;
}

TEST(IonicOneInstance, EveryAnswerIsTheLeastAssemblageOfTheLiquidWrittenOnce) {
    const System sys = read_dat(ionic_file("ionic_example_2.dat"));
    const int liquid = phase_named(sys, "LIQUID_I2");
    for (const State& st : kStates) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = st.b;
        const double least = testing::ionic_one_instance_minimum(sys, liquid, st.b, st.T, kPstd, 40);
        const double tol = 1e-9 * std::abs(least);
        SolverOptions keep;
        keep.leave_higher_basins = false;
        const EquilibriumResult kept = solve(pr, st.T, 0.0, keep);
        ASSERT_TRUE(kept.succeeded()) << kept.message;
        // The path under test: kept in its basin, the liquid ends high
        // (by 100 to 4300 J on these states).
        if (st.kept_high) {
            EXPECT_GT(kept.G, least + 50.0) << "T=" << st.T;
        } else {
            EXPECT_LE(kept.G, least + tol) << "T=" << st.T;
        }
        Conditions c;
        c.T = st.T;
        for (double T_from : {0.0, st.T - 30.0, st.T + 30.0}) {
            const EquilibriumResult r = solve(pr, st.T, T_from);
            ASSERT_TRUE(r.succeeded()) << r.message;
            EXPECT_EQ(judge(pr, c, r).verdict, Verdict::passed) << "T=" << st.T << " from " << T_from;
            EXPECT_NEAR(reported_energy(sys, liquid, r), r.G, tol) << "T=" << st.T << " from " << T_from;
            EXPECT_LE(r.G, least + tol) << "T=" << st.T << " from " << T_from;
        }
    }
}

// The three-cation melt beside its four solids (Fe 0.3, Mn 0.3, Ca 0.3,
// S 0.9, O 0.05 mol): the melt sits in its sulphide basin while its oxide
// basin lies far below its plane; the assemblages with the melt there
// cannot hold the feed. With five elements the search's grid is coarse
// and the melt holds traces (Ca at 3e-9) that stop its search in amounts:
// its least assemblage lies 5 to 100 J above the answer. At 1740 and
// 1800 K the melt's composition is a saddle of its distance to the plane
// (it falls away quadratically towards a minimum up to 0.002 RT per
// formula unit below), so the searches of its other basins run from
// beside a point they can leave. The test catches an answer left above an
// assemblage the search finds, and one that is not the assemblage it
// reports.
TEST(IonicOneInstance, SulphideMeltBesideTwoSulphidesIsTheLeastAssemblage) {
    const System sys = read_dat(ionic_file("ionic_melt.dat"));
    const int liquid = phase_named(sys, "SLAG");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.3, 0.3, 0.3, 0.9, 0.05};
    for (double T : {1600.0, 1610.0, 1740.0, 1800.0}) {
        const double least = testing::ionic_one_instance_minimum(sys, liquid, pr.element_amount, T, kPstd, 12);
        const double tol = 1e-9 * std::abs(least);
        Conditions c;
        c.T = T;
        for (double T_from : {0.0, T - 10.0, T + 10.0}) {
            const EquilibriumResult r = solve(pr, T, T_from);
            ASSERT_TRUE(r.succeeded()) << r.message;
            EXPECT_EQ(judge(pr, c, r).verdict, Verdict::passed) << "T=" << T << " from " << T_from;
            EXPECT_NEAR(reported_energy(sys, liquid, r), r.G, tol) << "T=" << T << " from " << T_from;
            EXPECT_LE(r.G, least + tol) << "T=" << T << " from " << T_from;
        }
    }
}

}  // namespace
}  // namespace eqcore
