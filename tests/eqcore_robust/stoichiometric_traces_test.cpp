// Feeds exactly on a gas compound (H2 + O2/2, C + O2/2): the major species
// fixes one combination of the element potentials, and only the traces fix
// the other. A Newton that chases those traces removes their excess only
// e-fold per step; held free and balanced by the traces instead, the state
// converges in a few steps. Each state is solved cold and warm; both must be
// accepted by the check, the cold one within a bounded number of
// iterations, and the traces must carry the feed's excess along the free
// direction exactly (a property of the answer, not of the method): an
// answer that leaves it to the majors' rounding puts the trace potentials
// thousands of J/mol off.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "check/stress.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

struct ExactFeed {
    const char* name;
    const char* file;
    double T, P, T_near;
    std::vector<std::pair<const char*, double>> feed;  // constituent, mol
    std::vector<std::pair<const char*, double>> along;  // element, weight: the direction only traces fix
    int most_cold_iterations;
};

void PrintTo(const ExactFeed& st, std::ostream* os) { *os << st.name; }

int element_of(const System& sys, const std::string& symbol) {
    for (int j = 0; j < sys.element_count(); ++j)
        if (sys.elements[static_cast<std::size_t>(j)].symbol == symbol) return j;
    return -1;
}

// What the constituents of r carry along the weights w, less what the feed
// carries, relative to the largest constituent's share.
double excess_left(const System& sys, const EquilibriumResult& r, const std::vector<double>& w) {
    double carried = 0.0, largest = 0.0, fed = 0.0;
    for (std::size_t g = 0; g < sys.constituents.size(); ++g) {
        double wa = 0.0;
        for (std::size_t j = 0; j < w.size(); ++j) wa += w[j] * sys.constituents[g].stoich[j];
        carried += r.amount[g] * wa;
        largest = std::max(largest, std::abs(r.amount[g] * wa));
    }
    for (std::size_t j = 0; j < w.size(); ++j) fed += w[j] * r.element_amount[j];
    return largest > 0.0 ? std::abs(carried - fed) / largest : std::abs(fed);
}

class ExactFeeds : public ::testing::TestWithParam<ExactFeed> {};

TEST_P(ExactFeeds, TracesCarryTheExcessAndConvergeSoon) {
    const ExactFeed& st = GetParam();
    const System sys = read_dat(example(st.file));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    for (const auto& [name, mol] : st.feed) feed(pr, name, mol);
    std::vector<double> w(sys.elements.size(), 0.0);
    for (const auto& [symbol, weight] : st.along) {
        const int j = element_of(sys, symbol);
        ASSERT_GE(j, 0) << symbol;
        w[static_cast<std::size_t>(j)] = weight;
    }
    Conditions c = at(st.T, st.P);
    Solver solver;
    const EquilibriumResult cold = solve_cold(solver, pr, c);
    ASSERT_TRUE(cold.succeeded()) << cold.message;
    EXPECT_TRUE(accepted(pr, cold));
    EXPECT_LE(cold.iterations, st.most_cold_iterations);
    EXPECT_LE(excess_left(sys, cold, w), 1e-6);
    prepare_warm(solver, pr, c, st.T_near);
    const EquilibriumResult warm = solver.equilibrate(pr, c);
    ASSERT_TRUE(warm.succeeded()) << warm.message;
    EXPECT_TRUE(accepted(pr, warm));
    EXPECT_LE(excess_left(sys, warm, w), 1e-6);
    // The traces fix the potentials along the free direction: cold and warm
    // find the same ones.
    const double RT = kR * st.T;
    for (std::size_t j = 0; j < sys.elements.size(); ++j)
        EXPECT_NEAR(cold.element_potential[j], warm.element_potential[j], 1e-6 * RT) << sys.elements[j].symbol;
}

// Water vapour alone from H2 and O2/2 (O2 = H2 / 2 exactly): H2 and O2 at
// 1e-20 balance each other's H and O.
const ExactFeed kStates[] = {
    {"water_vapour_from_hydrogen_and_oxygen_h_o", "h-o.dat", 377.3586302136622, 56202.404950279895, 368.7321229484121,
     {{"H2", 10.829498439826057}, {"O2", 10.829498439826057 / 2}}, {{"H", 1.0}, {"O", -2.0}}, 12},
    {"water_vapour_from_hydrogen_and_oxygen_c_h_o_n", "c-h-o-n.dat", 398.81800451855588, 1e5, 380.36667484506785,
     {{"H2", 24.806825143699385}, {"O2", 24.806825143699385 / 2}}, {{"H", 1.0}, {"O", -2.0}}, 12},
    // Graphite burnt to CO: a trace of graphite forms again beside CO2, O
    // and O2 at traces (2 CO = C + CO2).
    {"carbon_monoxide_from_graphite_and_oxygen", "c-h-o-n.dat", 3410.8166781906771, 119561.84087713889,
     3333.8305587897753, {{"C_graphite(s)", 0.80432599392021897}, {"O2", 0.80432599392021897 / 2}}, {{"C", 1.0}, {"O", -1.0}},
     12},
    // CO with argon at 6e-14: the argon is a trace of its own.
    {"carbon_monoxide_with_a_trace_of_argon", "c-h-o-n.dat", 4881.1901066904275, 310310.7093686079, 4919.1396099953754,
     {{"CO", 5.5203931982928376}, {"Ar", 5.7937333381405928e-14}}, {{"C", 1.0}, {"O", -1.0}}, 13},
};

INSTANTIATE_TEST_SUITE_P(Gas, ExactFeeds, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<ExactFeed>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace eqcore::robust
