// The certified one-direction minimisation with a magnetic term: on
// distances built so that the term's formula changes where a minimum lies
// (T* crossing T inside the line, an antiferromagnetic branch of T* and
// beta*, two close minima either side of a crossing, T just off T* at an
// end) and on random ones, against a dense grid evaluated in long double
// from the term's own formula; then on every magnetic one-direction phase
// of the data files at temperatures around its T* at the ends and inside
// the line, against the model's own distance.
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

LineFunction magnetic(double a, std::vector<double> q, std::vector<double> tc, std::vector<double> beta, double T,
                      double negative, double p, double scale) {
    LineFunction f = make(a, std::move(q));
    f.magnetic.on = true;
    f.magnetic.tc = line_polynomial_of(tc);
    f.magnetic.beta = line_polynomial_of(beta);
    f.magnetic.negative = negative;
    f.magnetic.structure = p;
    f.T = T;
    f.magnetic_scale = scale;
    return f;
}

// D'(t) by central differences of the long-double D (for placing a
// minimum where a test needs one).
double slope_at(const LineFunction& f, long double t) {
    const long double h = 1e-7L;
    return static_cast<double>((exact_D(f, t + h, 1.0L - t - h) - exact_D(f, t - h, 1.0L - t + h)) / (2.0L * h));
}

TEST(LineMagnetic, FindsEveryMinimumWhereTheFormulaChanges) {
    // T* = 1200 - 600 t crosses T = 900 at t = 1/2; the linear part is set
    // so that D' = 0 there: the minimum sits on the crossing.
    LineFunction f = magnetic(1.0, {0.0, 0.0}, {1200.0, -600.0}, {2.2, -1.5}, 900.0, -1.0, 0.4, 10.0);
    f.q.c[1] = -slope_at(f, 0.5L);
    f.q.mag[1] = std::abs(f.q.c[1]);
    check_against_grid(f, "minimum on the crossing", 30.0L);
    // The same with a strong magnetic part and a weak ideal part: the
    // term's own shape makes the minima.
    check_against_grid(magnetic(0.02, {0.0, -0.3, 0.5}, {1200.0, -600.0}, {2.2, -1.5}, 900.0, -1.0, 0.4, 10.0),
                       "magnetic shape", 30.0L);
    // Antiferromagnetic branches: the raw beta = 1 - 3 t and T* = 600 -
    // 900 t change sign at t = 1/3 and 2/3 and are scaled by -m = -1/3
    // beyond, so ln(beta* + 1) has a kink at 1/3; T = 150 crosses T* at
    // t = 1/2.
    for (double a : {0.05, 0.5})
        check_against_grid(magnetic(a, {0.0, 0.1}, {600.0, -900.0}, {1.0, -3.0}, 150.0, -1.0 / 3.0, 0.28, 20.0),
                           "antiferromagnetic, a = " + std::to_string(a), 60.0L);
    // A kink minimum: D' jumps from - to + at t = 1/3 (beta*'s slope -3 on
    // the left, +1 on the right), a linear part set so that both one-sided
    // slopes straddle 0.
    {
        LineFunction g = magnetic(0.05, {0.0, 0.0}, {600.0, -900.0}, {1.0, -3.0}, 150.0, -1.0 / 3.0, 0.28, 20.0);
        const long double t = 1.0L / 3.0L;
        g.q.c[1] = -0.5 * (slope_at(g, t - 1e-5L) + slope_at(g, t + 1e-5L));
        g.q.mag[1] = std::abs(g.q.c[1]);
        check_against_grid(g, "kink minimum", 60.0L);
    }
    // Two close minima (t = 0.40 and 0.42) either side of a crossing of T*
    // and T at t = 0.41.
    {
        std::vector<double> q = times(times({-0.40, 1.0}, {-0.40, 1.0}), times({-0.42, 1.0}, {-0.42, 1.0}));
        for (double& v : q) v *= 1e6;
        check_against_grid(magnetic(1e-3, q, {1041.0, -1000.0}, {2.2}, 631.0, -1.0, 0.4, 1.0), "two close minima",
                           10.0L);
    }
    // T just below and above T* at either end (T* = 1043 + 200 t), and in
    // the middle.
    for (double T : {1043.0 - 1e-3, 1043.0 + 1e-3, 1243.0 - 1e-3, 1243.0 + 1e-3, 1143.0})
        check_against_grid(magnetic(0.3, {0.0, 0.2, -0.1}, {1043.0, 200.0}, {2.22, 0.5}, T, -1.0, 0.4, 4.0),
                           "T = " + std::to_string(T), 20.0L);
}

TEST(LineMagnetic, AgreesWithADenseGridOnRandomTerms) {
    std::mt19937_64 rng(34);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int certified = 0;
    constexpr int kTrials = 60;
    for (int trial = 0; trial < kTrials; ++trial) {
        std::vector<double> q(static_cast<std::size_t>(2 + trial % 5));
        for (double& v : q) v = 3.0 * unit(rng);
        std::vector<double> tc(static_cast<std::size_t>(1 + trial % 3)), beta(static_cast<std::size_t>(1 + trial % 2));
        for (double& v : tc) v = 800.0 * unit(rng) + 300.0;
        for (double& v : beta) v = 2.0 * unit(rng) + 0.5;
        const double T = 100.0 + 700.0 * (1.0 + unit(rng));
        const double negative = trial % 3 == 0 ? -1.0 : (trial % 3 == 1 ? -1.0 / 3.0 : 0.5);
        const double a = std::pow(10.0, unit(rng));
        const double p = trial % 2 ? 0.4 : 0.28, scale = 1.0 + 9.0 * (1.0 + unit(rng));
        const LineFunction f = magnetic(a, q, tc, beta, T, negative, p, scale);
        double s[16];
        int n = 0;
        if (!detail::line_function_minima(f, s, 16, n)) continue;  // declines are allowed, wrong answers are not
        ++certified;
        check_against_grid(f, "random trial " + std::to_string(trial), 60.0L);
    }
    EXPECT_GE(certified, kTrials * 9 / 10);
}

// Every magnetic one-direction candidate of the files, at temperatures
// just below and above its T* at both ends of the line and at T* in the
// middle, at the potentials of an equilibrium there and moved at random.
TEST(LineMagnetic, IsTheLeastDistanceOfEveryMagneticPhaseAroundItsCriticalTemperature) {
    const std::vector<std::string> files = {
        eqcore::testing::example("fe-c.dat"), eqcore::testing::example("zr-h.dat"),
        std::string(EQCORE_SOLVER_TEST_DIR) + "/../eqcore_data/data/sublattice-models.dat",
        std::string(EQCORE_SOLVER_TEST_DIR) + "/../eqcore_data/data/example-c.dat"};
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int checked = 0;
    for (const std::string& file : files) {
        const System sys = read_dat(file);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount.assign(sys.elements.size(), 1.0);
        detail::Workspace ws0;
        std::string message;
        ASSERT_EQ(detail::prepare(ws0, pr, pr.elements(), message), SolverStatus::ok) << message;
        for (std::size_t ci = 0; ci < ws0.cand.size(); ++ci) {
            const detail::Candidate& c0 = ws0.cand[ci];
            int a = -1;
            if (!detail::one_direction(ws0, c0, a)) continue;
            // T* at both ends and in the middle, from the model itself.
            std::vector<double> temps;
            for (double t : {0.0, 0.5, 1.0}) {
                std::vector<double> v(static_cast<std::size_t>(c0.model->layout().variables), 0.0);
                std::vector<double> y(static_cast<std::size_t>(c0.count), 1.0);
                y[static_cast<std::size_t>(a)] = 1.0 - t;
                y[static_cast<std::size_t>(a) + 1] = t;
                int k = 0;
                for (int g = c0.group0; g < c0.group0 + c0.groups; ++g) {
                    const auto gi = static_cast<std::size_t>(g);
                    for (int sl = ws0.grp_begin[gi]; sl < ws0.grp_end[gi]; ++sl, ++k)
                        v[static_cast<std::size_t>(ws0.slot_var[static_cast<std::size_t>(sl)])] =
                            y[static_cast<std::size_t>(k)] * ws0.grp_sites[gi];
                }
                const double Tc = c0.model->critical_temperature(v);
                if (!(Tc > 10.0)) continue;
                for (double d : t == 0.5 ? std::vector<double>{0.0} : std::vector<double>{-0.5, -1e-3, 1e-3, 0.5})
                    temps.push_back(Tc + d);
            }
            for (double T : temps) {
                detail::Workspace ws;
                ASSERT_EQ(detail::prepare(ws, pr, pr.elements(), message), SolverStatus::ok) << message;
                detail::set_conditions(ws, T, 1e5);
                detail::solve_tp(ws, false, message);
                const std::vector<double> pi0 = ws.pi;
                const detail::Candidate& c = ws.cand[ci];
                for (int move = 0; move < 3; ++move) {
                    for (std::size_t j = 0; j < ws.pi.size(); ++j)
                        ws.pi[j] = pi0[j] + (move == 0 ? 0.0 : 3.0 * unit(rng));
                    detail::LineMinima lm;
                    if (!detail::line_minima(ws, static_cast<int>(ci), lm)) continue;
                    ++checked;
                    check_against_model(ws, c, lm,
                                        file + " " + sys.phases[static_cast<std::size_t>(c.phase)].name +
                                            " T=" + std::to_string(T) + " move " + std::to_string(move));
                }
            }
        }
    }
    EXPECT_GT(checked, 30);
}

}  // namespace
