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
        const LineFunction f = make(a, q);
        check_against_grid(f, "random trial " + std::to_string(trial));
        if (trial % 4 != 0) continue;
        // The map of f serves functions that differ from it in the linear
        // part only, as a search's do at other potentials.
        detail::CurvatureMap map;
        ASSERT_TRUE(detail::map_curvature(f, map));
        for (int other = 0; other < 2; ++other) {
            LineFunction g = f;
            g.q.c[0] = size * unit(rng);
            g.q.c[1] = 3.0 * size * unit(rng);
            g.q.mag[0] = std::abs(g.q.c[0]);
            g.q.mag[1] = std::abs(g.q.c[1]);
            check_against_grid(g, "random trial " + std::to_string(trial) + " at other potentials", 0.0L, &map);
        }
    }
}

// A map of another function (another curvature) is not taken for this
// one's: its minima are found all the same.
TEST(LineMinimum, TakesNoCurvatureMapOfAnotherFunction) {
    std::vector<double> four = {1.0};
    for (double r : {0.1, 0.35, 0.6, 0.85}) four = times(four, times({-r, 1.0}, {-r, 1.0}));
    for (double& v : four) v *= 1e4;
    detail::CurvatureMap convex;
    ASSERT_TRUE(detail::map_curvature(make(0.01, {0.0, 0.0, 1.0}), convex));
    check_against_grid(make(0.01, four), "four minima, a convex function's map", 0.0L, &convex);
    detail::CurvatureMap other_a;
    ASSERT_TRUE(detail::map_curvature(make(10.0, four), other_a));
    check_against_grid(make(0.01, four), "four minima, another site number's map", 0.0L, &other_a);
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
                for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
                    const detail::Candidate& c = ws.cand[static_cast<std::size_t>(ci)];
                    detail::LineMinima lm;
                    if (!detail::line_minima(ws, ci, lm)) continue;
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

// The remainder along a line is kept per candidate and temperature between
// searches: one workspace taken through temperatures that come back after
// others have replaced them, with the candidates searched in changing
// order, and then set up anew with a phase left out (the candidates
// renumbered), gives at every step what a fresh workspace gives at the
// same temperature and potentials, to the bit.
// The remainder a candidate keeps along its line, with its magnetic term,
// serves only its own temperature and line; a line with a magnetic term
// keeps no curvature map (the map is of the polynomial alone).
TEST(LineMinimum, KeepsNoRemainderOfAnotherTemperatureOrCandidate) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int compared = 0, magnetic = 0;
    for (const char* name : {"zr-h.dat", "al-mg.dat", "fe-c.dat"}) {
        const System sys = read_dat(eqcore::testing::example(name));
        EquilibriumProblem all = EquilibriumProblem::all_entered(sys);
        all.element_amount.assign(sys.elements.size(), 1.0);
        // The same material with its first phase of one free direction left out.
        EquilibriumProblem fewer = all;
        {
            detail::Workspace probe;
            std::string message;
            ASSERT_EQ(detail::prepare(probe, all, all.elements(), message), SolverStatus::ok) << message;
            int a = -1;
            for (const detail::Candidate& c : probe.cand)
                if (detail::one_direction(probe, c, a)) {
                    fewer.phase_entered[static_cast<std::size_t>(c.phase)] = 0;
                    break;
                }
        }
        detail::Workspace ws;
        std::string message;
        std::vector<double> pi;
        int step = 0;
        // The second setup starts at the temperatures the first ended at.
        const std::vector<double> temperatures = {600.0, 610.0, 600.0, 900.0, 610.0, 1300.0, 900.0};
        for (const EquilibriumProblem* pr : {&all, &fewer})
            for (std::size_t i = 0; i < temperatures.size(); ++i) {
                const double T = pr == &all ? temperatures[i] : temperatures[temperatures.size() - 1 - i];
                ASSERT_EQ(detail::prepare(ws, *pr, pr->elements(), message), SolverStatus::ok) << message;
                detail::set_conditions(ws, T, 1e5);
                if (pi.empty()) {
                    detail::solve_tp(ws, false, message);
                    pi = ws.pi;
                }
                for (std::size_t j = 0; j < ws.pi.size(); ++j) ws.pi[j] = pi[j] + 2.0 * unit(rng);
                detail::Workspace fresh;
                ASSERT_EQ(detail::prepare(fresh, *pr, pr->elements(), message), SolverStatus::ok) << message;
                detail::set_conditions(fresh, T, 1e5);
                fresh.pi = ws.pi;
                const int n = static_cast<int>(ws.cand.size());
                for (int k = 0; k < n; ++k) {
                    const int ci = step % 2 == 0 ? k : n - 1 - k;
                    detail::LineMinima held, anew;
                    const bool served = detail::line_minima(ws, ci, held);
                    ASSERT_EQ(served, detail::line_minima(fresh, ci, anew)) << name << " T=" << T << " candidate " << ci;
                    if (!served) continue;
                    ++compared;
                    const int entry = ws.line_remainder_of[static_cast<std::size_t>(ci)];
                    ASSERT_GE(entry, 0) << name << " T=" << T << " candidate " << ci;
                    for (const detail::LineRemainder& r : ws.line_remainders[static_cast<std::size_t>(entry)].at) {
                        if (r.T != T || !r.line.magnetic.on) continue;
                        ++magnetic;
                        EXPECT_EQ(r.curvature.count, -1) << name << " T=" << T << " candidate " << ci;
                    }
                    ASSERT_EQ(held.count, anew.count) << name << " T=" << T << " candidate " << ci;
                    for (int r = 0; r < held.count; ++r) {
                        EXPECT_EQ(held.t[r], anew.t[r]) << name << " T=" << T << " candidate " << ci;
                        EXPECT_EQ(held.D[r], anew.D[r]) << name << " T=" << T << " candidate " << ci;
                    }
                }
                ++step;
            }
    }
    EXPECT_GT(compared, 40);
    EXPECT_GT(magnetic, 4);
}

}  // namespace
