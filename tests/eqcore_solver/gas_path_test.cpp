// The ideal gas beside stoichiometric phases (graphite, liquid water): states
// where a condensed phase enters or leaves along a warm sequence, where the
// gas holds an exactly stoichiometric feed with trace elements, and where
// elements are fed as traces. Every result must pass the acceptance check
// (which recomputes every potential and searches every absent phase itself),
// warm results must equal cold ones, and the phases present are named where
// the chemistry settles them.
#include <set>
#include <vector>

#include "check/acceptance.hpp"
#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

// Element amounts in the file's order: C, H, N, O, Ar.
struct Material {
    double C, H, N, O, Ar;
};

std::set<std::string> present(const System& sys, const EquilibriumResult& r) {
    std::set<std::string> out;
    for (int p = 0; p < sys.phase_count(); ++p)
        if (r.phases[static_cast<std::size_t>(p)].present) out.insert(sys.phases[static_cast<std::size_t>(p)].name);
    return out;
}

class GasBesideCompounds : public ::testing::Test {
protected:
    GasBesideCompounds() : sys(read_dat(example("c-h-o-n.dat"))) {}

    EquilibriumProblem problem(const Material& m) const {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {m.C, m.H, m.N, m.O, m.Ar};
        return pr;
    }

    // Solves `m` at T, P with `warm` (which keeps its previous result as the
    // start) and cold; both accepted, with the same G. Returns the warm one.
    EquilibriumResult both_ways(Solver& warm, const Material& m, double T, double P) const {
        const EquilibriumProblem pr = problem(m);
        Conditions c;
        c.T = T;
        c.P = P;
        const EquilibriumResult w = warm.equilibrate(pr, c);
        EXPECT_TRUE(w.succeeded()) << w.message;
        if (!w.succeeded()) return w;
        const AcceptanceReport rep = check_equilibrium(pr, w);
        EXPECT_TRUE(rep.ok) << rep.summary();
        Solver fresh;
        const EquilibriumResult cold = fresh.equilibrate(pr, c);
        EXPECT_TRUE(cold.succeeded()) << cold.message;
        EXPECT_TRUE(near_rel(w.G, cold.G, 1e-10, 1e-9));
        EXPECT_EQ(present(sys, w), present(sys, cold));
        return w;
    }

    System sys;
};

TEST_F(GasBesideCompounds, GraphiteEntersAndLeavesAlongWarmSweeps) {
    // Carbon-rich fuel with a little oxygen: graphite holds the carbon the
    // gas cannot at low temperature and dissolves into CO and CH4 as the
    // temperature rises; the sweep goes up and back down from each result.
    const Material fuel{1.0, 4.0, 0.2, 1.2, 0.0};
    Solver warm;
    std::set<int> graphite_seen;
    std::vector<double> Ts;
    for (double T = 700.0; T <= 1500.0; T += 40.0) Ts.push_back(T);
    for (double T = 1500.0; T >= 700.0; T -= 40.0) Ts.push_back(T);
    for (double T : Ts) {
        SCOPED_TRACE(T);
        const EquilibriumResult r = both_ways(warm, fuel, T, 1e5);
        if (!r.succeeded()) return;
        graphite_seen.insert(present(sys, r).count("C_graphite(s)") ? 1 : 0);
    }
    // The sweep crossed the graphite boundary (else it tests nothing).
    EXPECT_EQ(graphite_seen, (std::set<int>{0, 1}));
    // Far more carbon than oxygen at 1200 K: graphite must be there.
    const EquilibriumResult rich = both_ways(warm, {2.0, 1.0, 0.5, 1.0, 0.0}, 1200.0, 1e5);
    EXPECT_EQ(present(sys, rich), (std::set<std::string>{"GAS", "C_graphite(s)"}));
}

TEST_F(GasBesideCompounds, WaterCondensesAndEvaporatesAlongWarmSweeps) {
    // Water with nitrogen at 1 bar: liquid below the dew point (where the
    // vapour's share of the gas reaches the saturation pressure), none
    // above it; and at 50 bar through the same temperatures.
    const Material wet{0.0, 2.0, 0.5, 1.0, 0.0};
    for (double P : {1e5, 5e6}) {
        Solver warm;
        std::set<int> liquid_seen;
        for (double T = 300.0; T <= 560.0; T += 10.0) {
            SCOPED_TRACE(T);
            const EquilibriumResult r = both_ways(warm, wet, T, P);
            if (!r.succeeded()) return;
            liquid_seen.insert(present(sys, r).count("H2O_liquid(liq)") ? 1 : 0);
        }
        EXPECT_EQ(liquid_seen, (std::set<int>{0, 1})) << "P " << P;
    }
}

TEST_F(GasBesideCompounds, StoichiometricFeedsWithTraceElements) {
    // Exactly CO, CO2 or H2O with other elements at traces down to 1e-14 of
    // the material: directions of the potentials that only the traces fix.
    // Each state is reached warm from the one before and from a state of
    // another temperature and pressure.
    const std::vector<Material> feeds = {
        {1.0, 1e-12, 1e-12, 1.0, 0.0}, {1.0, 0.0, 1e-9, 1.0, 1e-14}, {1.0, 1e-10, 0.0, 2.0, 0.0},
        {1e-13, 2.0, 1e-11, 1.0, 0.0}, {0.5, 2.0, 0.0, 1.5, 1e-12},  {1e-14, 1e-14, 2.0, 1e-14, 1.0},
    };
    Solver warm;
    for (const Material& m : feeds) {
        for (const auto& [T, P] : std::vector<std::pair<double, double>>{{1500.0, 1e5}, {600.0, 1e7}, {3200.0, 1e3}}) {
            SCOPED_TRACE(::testing::Message() << "C " << m.C << " H " << m.H << " N " << m.N << " O " << m.O << " Ar "
                                              << m.Ar << " at " << T << " K, " << P << " Pa");
            both_ways(warm, m, T, P);
        }
    }
}

TEST_F(GasBesideCompounds, OneSolverAcrossSetupsAndMaterials) {
    // One solver serving materials that differ in their elements, their
    // scale and the constituents and phases entered (each setup numbers its
    // slots differently), so that what a result leaves behind for the next
    // calculation meets amounts of another meaning: every result must
    // equal a fresh solver's.
    EquilibriumProblem no_soot = problem({});
    no_soot.phase_entered[static_cast<std::size_t>(phase_of(sys, "C_graphite(s)"))] = 0;
    no_soot.constituent_entered[static_cast<std::size_t>(constituent_of(sys, "CH4"))] = 0;
    const std::vector<Material> materials = {
        {1.0, 4.0, 7.52, 4.0, 0.09}, {2.0, 8.0, 15.04, 8.0, 0.18}, {1.0, 4.0, 0.0, 4.0, 0.0},
        {0.0, 2.0, 1.0, 1.0, 0.0},   {1.0, 4.0, 7.52, 4.0, 0.09}, {0.8, 1.0, 0.5, 1.0, 0.0},
    };
    Solver one;
    for (int round = 0; round < 2; ++round)
        for (const Material& m : materials)
            for (const bool all : {true, false}) {
                EquilibriumProblem pr = all ? problem(m) : no_soot;
                pr.element_amount = {m.C, m.H, m.N, m.O, m.Ar};
                Conditions c;
                c.T = round == 0 ? 1800.0 : 900.0;
                c.P = 1e5;
                SCOPED_TRACE(::testing::Message() << "C " << m.C << " H " << m.H << " N " << m.N << " O " << m.O
                                                  << (all ? ", all entered" : ", no graphite or CH4") << ", " << c.T
                                                  << " K");
                const EquilibriumResult r = one.equilibrate(pr, c);
                ASSERT_TRUE(r.succeeded()) << r.message;
                const AcceptanceReport rep = check_equilibrium(pr, r);
                EXPECT_TRUE(rep.ok) << rep.summary();
                Solver fresh;
                const EquilibriumResult cold = fresh.equilibrate(pr, c);
                ASSERT_TRUE(cold.succeeded()) << cold.message;
                EXPECT_TRUE(near_rel(r.G, cold.G, 1e-10, 1e-9));
                for (std::size_t k = 0; k < r.amount.size(); ++k)
                    EXPECT_TRUE(near_rel(r.amount[k], cold.amount[k], 1e-7, 1e-12 * (m.C + m.H + m.N + m.O + m.Ar)))
                        << "constituent " << k;
            }
}

}  // namespace
}  // namespace eqcore::testing
