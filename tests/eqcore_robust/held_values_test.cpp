// What a solver keeps between calculations (the setups' gauges, the
// standard-state values of the streams' temperature, the streams' enthalpy)
// must not change an answer: a solver serving a sequence of materials with
// other element sets and streams at other temperatures gives, state by
// state, exactly what a new solver gives, and the streams' enthalpy equals
// the one evaluated from the models directly.
#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "check/stress.hpp"
#include "robust_util.hpp"
#include "solver/streams.hpp"

namespace eqcore::robust {
namespace {

std::string data_file(const std::string& file) {
    if (file.rfind("qc_", 0) == 0) return std::string(EQCORE_TESTS_DIR) + "/eqcore_quasichem/data/" + file;
    return example(file);
}

class HeldValues : public ::testing::TestWithParam<const char*> {};

TEST_P(HeldValues, AKeptSolverAnswersAsANewOne) {
    const System sys = read_dat(data_file(GetParam()));
    const PhaseModels models(sys);
    std::mt19937_64 rng(11);
    Solver kept;
    for (int i = 0; i < 60; ++i) {
        const StressState st = random_state(sys, rng, static_cast<FeedKind>(i % kFeedKinds), GetParam());
        EquilibriumProblem pr = problem_of(sys, st);
        // Streams entering at three temperatures in turn, so that the held
        // standard values are of another temperature every other state.
        for (Feed& f : pr.streams) f.T = i % 3 == 0 ? 298.15 : i % 3 == 1 ? 1000.0 + i : 298.15;
        const Conditions c = conditions_of(st);
        const std::string what = "state " + std::to_string(i) + ": " + st.describe(sys);
        const EquilibriumResult a = solve_cold(kept, pr, c);
        Solver fresh;
        const EquilibriumResult b = fresh.equilibrate(pr, c);
        ASSERT_EQ(a.succeeded(), b.succeeded()) << what;
        EXPECT_NEAR(a.H_in, feeds_enthalpy(pr, models), 1e-12 * std::abs(a.H_in)) << what;
        if (!a.succeeded()) continue;
        EXPECT_EQ(a.iterations, b.iterations) << what;
        EXPECT_EQ(a.G, b.G) << what;
        // To 1e-12: a quasichemical liquid settles its pairs by an iteration
        // of its own, whose end depends on where it starts.
        EXPECT_NEAR(a.H_in, b.H_in, 1e-12 * std::abs(b.H_in)) << what;
        EXPECT_EQ(a.element_potential, b.element_potential) << what;
        EXPECT_EQ(a.amount, b.amount) << what;
    }
}

// c-h-o-n: an ideal gas and compounds; ag-cu: a liquid with a remainder;
// qc_example_3: a setup with a gauge (Li, Mg, O, F in neutral salts only).
INSTANTIATE_TEST_SUITE_P(Files, HeldValues, ::testing::Values("c-h-o-n.dat", "ag-cu-example.dat", "qc_example_3.dat"),
                         file_test_name);

}  // namespace
}  // namespace eqcore::robust
