// The certified minimisation of a distance with one free direction: on
// functions built to hide a minimum from a coarse search (two close minima,
// one at a trace end, a narrow well between spread points) and on random
// ones, against a dense grid evaluated in long double; then on every phase
// of that shape in the data files, against dense sampling of the model's
// own distance and against descents from many starts.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "line_grid.hpp"
#include "solver/line_minimum.hpp"
#include "solver/workspace.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using namespace eqcore::line_test;
using detail::LineFunction;

TEST(LineMinimum, FindsEveryMinimumOfFunctionsBuiltToHideOne) {
    // Two close minima (t = 0.40 and 0.42, a barrier of 1e-2 between them)
    // under a weak ideal part.
    const std::vector<double> well40 = {-0.40, 1.0}, well42 = {-0.42, 1.0};
    std::vector<double> q = times(times(well40, well40), times(well42, well42));
    for (double& v : q) v *= 1e6;
    check_against_grid(make(1e-3, q), "two close minima");
    // A minimum at a trace end: D'(1e-12) = 0 from a slope of a ln 1e12 at
    // t = 0, against a basin in the middle that lies higher.
    const double a = 1.0;
    check_against_grid(make(a, {0.0, a * std::log(1e12), -30.0, 20.0}), "trace end");
    // The same at the other end (1 - t = 1e-12).
    check_against_grid(make(a, {0.0, -a * std::log(1e12) - 2.0, 30.0, -28.0}), "trace at t = 1");
    // A narrow well at t = 0.33 (an eleventh power of 1 - 4 (t - 0.33)^2,
    // which stays within [-1, 1] on [0, 1]) between the points a coarse
    // screen takes (0.2, 0.5, 0.8), on a convex base.
    std::vector<double> well = {1.0};
    const std::vector<double> bump = {1.0 - 4.0 * 0.33 * 0.33, 8.0 * 0.33, -4.0};
    for (int k = 0; k < 11; ++k) well = times(well, bump);
    for (double& v : well) v *= -3.0;
    well[2] += 8.0;  // + 8 t^2 - 8 t
    well[1] -= 8.0;
    check_against_grid(make(0.05, well), "narrow well");
    // Strongly non-convex: four minima under a small ideal part.
    std::vector<double> four = {1.0};
    for (double r : {0.1, 0.35, 0.6, 0.85}) four = times(four, times({-r, 1.0}, {-r, 1.0}));
    for (double& v : four) v *= 1e4;
    check_against_grid(make(0.01, four), "four minima");
}

TEST(LineMinimum, AgreesWithADenseGridOnRandomPolynomials) {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int trial = 0; trial < 80; ++trial) {
        const int degree = 2 + trial % 9;
        const double size = std::pow(10.0, 2.0 * std::abs(unit(rng)));
        std::vector<double> q(static_cast<std::size_t>(degree + 1));
        for (double& v : q) v = size * unit(rng);
        const double a = std::pow(10.0, 1.5 * unit(rng));
        check_against_grid(make(a, q), "random trial " + std::to_string(trial));
    }
}

TEST(LineMinimum, DecidesNothingOnFunctionsItCannotCertify) {
    double s[16];
    int n = 0;
    EXPECT_FALSE(detail::line_function_minima(make(0.0, {0.0, 1.0}), s, 16, n));
    // More minima than the caller holds.
    std::vector<double> four = {1.0};
    for (double r : {0.1, 0.35, 0.6, 0.85}) four = times(four, times({-r, 1.0}, {-r, 1.0}));
    for (double& v : four) v *= 1e4;
    EXPECT_FALSE(detail::line_function_minima(make(0.01, four), s, 2, n));
}

// Every one-direction candidate of the files, at several temperatures and
// at the potentials of an equilibrium there moved at random: the least
// distance certified is at or below every point of a dense sample of the
// model's own distance and every descent's end from many starts; every
// minimum reported is a minimum of the model's distance.
TEST(LineMinimum, IsTheLeastDistanceOfEveryOneDirectionPhaseOfTheFiles) {
    const std::vector<std::string> files = {
        eqcore::testing::example("zr-h.dat"), eqcore::testing::example("al-mg.dat"), eqcore::testing::example("fe-c.dat"),
        eqcore::testing::example("fe-sgte.dat"), std::string(EQCORE_SOLVER_TEST_DIR) + "/data/subl-gap.dat",
        std::string(EQCORE_SOLVER_TEST_DIR) + "/../eqcore_data/data/sublattice-models.dat",
        std::string(EQCORE_SOLVER_TEST_DIR) + "/../eqcore_data/data/example-c.dat"};
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int checked = 0;
    for (const std::string& file : files) {
        const System sys = read_dat(file);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount.assign(sys.elements.size(), 1.0);
        for (double T : {400.0, 600.0, 900.0, 1300.0, 1800.0}) {
            detail::Workspace ws;
            std::string message;
            ASSERT_EQ(detail::prepare(ws, pr, pr.elements(), message), SolverStatus::ok) << message;
            detail::set_conditions(ws, T, 1e5);
            detail::solve_tp(ws, false, message);
            const std::vector<double> pi0 = ws.pi;
            for (int move = 0; move < 4; ++move) {
                for (std::size_t j = 0; j < ws.pi.size(); ++j) ws.pi[j] = pi0[j] + (move == 0 ? 0.0 : 3.0 * unit(rng));
                for (const detail::Candidate& c : ws.cand) {
                    detail::LineMinima lm;
                    if (!detail::line_minima(ws, c, lm)) continue;
                    ++checked;
                    check_against_model(ws, c, lm,
                                        file + " " + sys.phases[static_cast<std::size_t>(c.phase)].name + " T=" +
                                            std::to_string(T) + " move " + std::to_string(move));
                }
            }
        }
    }
    EXPECT_GT(checked, 40);
}

}  // namespace
