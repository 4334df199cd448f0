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

#include "solver/line_minimum.hpp"
#include "solver/workspace.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using detail::LineFunction;

// D(t) in long double, t and 1 - t given apart (exact near both ends).
long double exact_D(const LineFunction& f, long double t, long double u) {
    long double q = 0.0L;
    for (int k = f.q.degree; k >= 0; --k) q = q * t + f.q.c[k];
    const long double h = (t > 0 ? t * std::log(t) : 0.0L) + (u > 0 ? u * std::log(u) : 0.0L);
    return f.a * h + q;
}

long double exact_at_s(const LineFunction& f, double s) {
    const long double t = 1.0L / (1.0L + std::exp(-static_cast<long double>(s)));
    const long double u = 1.0L / (1.0L + std::exp(static_cast<long double>(s)));
    return exact_D(f, t, u);
}

LineFunction make(double a, std::vector<double> q) {
    LineFunction f;
    f.a = a;
    f.q.degree = static_cast<int>(q.size()) - 1;
    for (std::size_t k = 0; k < q.size(); ++k) {
        f.q.c[k] = q[k];
        f.q.mag[k] = std::abs(q[k]);
    }
    return f;
}

// The coefficients of the product of two polynomials.
std::vector<double> times(const std::vector<double>& p, const std::vector<double>& q) {
    std::vector<double> r(p.size() + q.size() - 1, 0.0);
    for (std::size_t i = 0; i < p.size(); ++i)
        for (std::size_t j = 0; j < q.size(); ++j) r[i + j] += p[i] * q[j];
    return r;
}

// Checks the minima of f against a grid: 10^5 even points and 2 x 600
// points spaced by their logarithm towards each end down to 1e-300. Every
// reported point is a local minimum; the least of them is at or below
// every grid point; every strict local minimum of the grid (its neighbours
// higher by more than the rounding) has a reported minimum between those
// neighbours. With a curvature map given, the minima are found from it.
void check_against_grid(const LineFunction& f, const std::string& what, const detail::CurvatureMap* map = nullptr) {
    double s[16];
    int n = 0;
    ASSERT_TRUE(map ? detail::line_function_minima(f, *map, s, 16, n) : detail::line_function_minima(f, s, 16, n)) << what;
    ASSERT_GT(n, 0) << what;
    long double scale = f.a;
    for (int k = 0; k <= f.q.degree; ++k) scale += std::abs(f.q.c[k]);
    const long double tol = 1e-11L * scale;
    long double best = 1e300L;
    std::vector<double> ts;  // reported t
    for (int k = 0; k < n; ++k) {
        const long double D = exact_at_s(f, s[k]);
        best = std::min(best, D);
        ts.push_back(1.0 / (1.0 + std::exp(-s[k])));
        for (double ds : {1e-4, -1e-4})
            if (std::abs(s[k]) < 699.0) {
                EXPECT_LE(D, exact_at_s(f, s[k] + ds) + tol) << what << " minimum " << k;
            }
    }
    struct Point {
        long double t, u;
    };
    std::vector<Point> grid;
    for (int i = 600; i > 0; --i) {
        const long double t = std::pow(10.0L, -300.0L * i / 600.0L);
        if (t < 1e-5L) grid.push_back({t, 1.0L - t});
    }
    constexpr int kEven = 100000;
    for (int i = 1; i < kEven; ++i) grid.push_back({static_cast<long double>(i) / kEven, static_cast<long double>(kEven - i) / kEven});
    for (int i = 1; i <= 600; ++i) {
        const long double u = std::pow(10.0L, -300.0L * i / 600.0L);
        if (u < 1e-5L) grid.push_back({1.0L - u, u});
    }
    std::vector<long double> D(grid.size());
    for (std::size_t i = 0; i < grid.size(); ++i) D[i] = exact_D(f, grid[i].t, grid[i].u);
    for (std::size_t i = 0; i < grid.size(); ++i) EXPECT_LE(best, D[i] + tol) << what << " grid t = " << static_cast<double>(grid[i].t);
    for (std::size_t i = 1; i + 1 < grid.size(); ++i) {
        if (!(D[i] + tol < D[i - 1] && D[i] + tol < D[i + 1])) continue;
        bool found = false;
        for (double t : ts) found = found || (t >= grid[i - 1].t && t <= grid[i + 1].t);
        EXPECT_TRUE(found) << what << ": grid minimum at t = " << static_cast<double>(grid[i].t) << " not reported";
    }
}

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
            check_against_grid(g, "random trial " + std::to_string(trial) + " at other potentials", &map);
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
    check_against_grid(make(0.01, four), "four minima, a convex function's map", &convex);
    detail::CurvatureMap other_a;
    ASSERT_TRUE(detail::map_curvature(make(10.0, four), other_a));
    check_against_grid(make(0.01, four), "four minima, another site number's map", &other_a);
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
                    const std::string what = file + " " + sys.phases[static_cast<std::size_t>(c.phase)].name + " T=" +
                                             std::to_string(T) + " move " + std::to_string(move);
                    double best = 1e300;
                    for (int k = 0; k < lm.count; ++k) best = std::min(best, lm.D[k]);
                    const double tol = 1e-9 * (1.0 + std::abs(best));
                    std::vector<double> y(static_cast<std::size_t>(c.count), 1.0);
                    // Each reported minimum against its neighbours.
                    for (int k = 0; k < lm.count; ++k)
                        for (double dt : {1e-5, -1e-5}) {
                            const double t = lm.t[k] * (1.0 + dt);
                            if (!(t > 0.0 && t < 1.0)) continue;
                            y[static_cast<std::size_t>(lm.a)] = 1.0 - t;
                            y[static_cast<std::size_t>(lm.a) + 1] = t;
                            EXPECT_LE(lm.D[k], detail::distance_at(ws, c, y.data()) + tol) << what;
                        }
                    // Dense sample, even and towards both ends.
                    constexpr int kEven = 100000;
                    for (int i = 1; i < kEven + 400; ++i) {
                        double t = static_cast<double>(i) / kEven, u = 1.0 - t;
                        if (i >= kEven) {
                            const double e = std::pow(10.0, -5.0 - (i - kEven) % 200 * 0.5);
                            t = i - kEven < 200 ? e : 1.0 - e;
                            u = i - kEven < 200 ? 1.0 - e : e;
                        }
                        y[static_cast<std::size_t>(lm.a)] = u;
                        y[static_cast<std::size_t>(lm.a) + 1] = t;
                        EXPECT_LE(best, detail::distance_at(ws, c, y.data()) + tol) << what << " t = " << t;
                    }
                    // Descents from a spread of starts.
                    for (double t0 : {1e-6, 0.01, 0.1, 0.25, 0.5, 0.75, 0.9, 0.99, 1.0 - 1e-6}) {
                        y.assign(static_cast<std::size_t>(c.count), 1.0);
                        y[static_cast<std::size_t>(lm.a)] = 1.0 - t0;
                        y[static_cast<std::size_t>(lm.a) + 1] = t0;
                        EXPECT_LE(best, detail::descend_distance(ws, c, y.data()) + tol) << what << " from " << t0;
                    }
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
TEST(LineMinimum, KeepsNoRemainderOfAnotherTemperatureOrCandidate) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int compared = 0;
    for (const char* name : {"zr-h.dat", "al-mg.dat"}) {
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
}

}  // namespace
