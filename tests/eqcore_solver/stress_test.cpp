// Random states (fixed seed) over every example data file: each one either
// passes the acceptance check or fails with a clear error, never a wrong
// answer. Temperatures 300-5300 K, pressures 0.01-100 bar, element amounts
// over six decades with elements left out, cold and warm starts mixed.
#include <random>

#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

class RandomStates : public ::testing::TestWithParam<const char*> {};

TEST_P(RandomStates, EveryStatePassesTheAcceptanceCheck) {
    const System sys = read_dat(example(GetParam()));
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<double> U(0.0, 1.0);
    Solver solver;
    int solved = 0;
    for (int i = 0; i < 150; ++i) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        for (double& b : pr.element_amount) b = U(rng) < 0.15 ? 0.0 : std::pow(10.0, -6.0 * U(rng) * (U(rng) < 0.2)) * U(rng);
        Conditions c;
        c.T = 300.0 + 5000.0 * U(rng);
        c.P = std::pow(10.0, 3.0 + 4.0 * U(rng));
        if (U(rng) < 0.5) solver.forget();
        const EquilibriumResult r = solver.equilibrate(pr, c);
        if (r.status == SolverStatus::no_material || r.status == SolverStatus::element_not_carried) {
            EXPECT_FALSE(r.message.empty());
            continue;
        }
        SCOPED_TRACE("state " + std::to_string(i) + ": T " + std::to_string(c.T) + " K, P " + std::to_string(c.P) + " Pa");
        expect_equilibrium(sys, r);
        ++solved;
    }
    EXPECT_GT(solved, 100);
}

INSTANTIATE_TEST_SUITE_P(DataFiles, RandomStates,
                         ::testing::Values("n-o-example.dat", "ag-cu-example.dat", "h-o.dat", "c-h-o-n.dat"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             for (char& ch : n)
                                 if (ch == '-' || ch == '.') ch = '_';
                             return n;
                         });

}  // namespace
}  // namespace eqcore::testing
