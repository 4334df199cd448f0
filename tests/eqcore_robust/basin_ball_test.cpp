// Balls around the minima a stability search finds (basin_ball), at the
// equilibrium potentials of the hard quaternary: on the sphere of the proven
// radius, within the simplex, the distance never lies below the proven wall
// (dense sampling, the distance taken from the model directly); and where the
// distance is not convex at the centre (negative second differences) no ball
// is claimed.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "robust_util.hpp"
#include "solver/own_basin_bound.hpp"
#include "solver/workspace.hpp"

namespace eqcore::robust {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The distance / RT of candidate c at y (its fractions) against ws.pi.
double distance_at(detail::Workspace& ws, const detail::Candidate& c, const std::vector<double>& y) {
    detail::remainder_at(ws, c, y.data(), true, false);
    double D = 0.0;
    for (int k = 0; k < c.count; ++k) {
        const int s = c.first + k;
        const double mu_ex = ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
        D += y[sz(k)] * (std::log(y[sz(k)]) - (ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]) + mu_ex);
    }
    return D;
}

// A unit direction of m fractions that keeps their sum.
std::vector<double> direction(int m, std::mt19937_64& rng) {
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> u(sz(m));
    double mean = 0.0, norm = 0.0;
    for (double& v : u) {
        v = normal(rng);
        mean += v / m;
    }
    for (double& v : u) {
        v -= mean;
        norm += v * v;
    }
    for (double& v : u) v /= std::sqrt(norm);
    return u;
}

// fn(ws, candidate index) for every absent one-group mixture of the hard
// quaternary, at its equilibrium for a few feeds and temperatures.
template <class Fn>
void each_absent_mixture(Fn fn) {
    const System sys = read_dat(example("hard/hard-quaternary.dat"));
    for (const std::vector<double>& b : {std::vector<double>{0.25, 0.25, 0.25, 0.25}, {0.1, 0.2, 0.3, 0.4}}) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = b;
        for (double T : {800.0, 1000.0, 1400.0}) {
            detail::Workspace ws;
            std::string message;
            ASSERT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
            detail::set_conditions(ws, T, 1e5);
            ASSERT_EQ(detail::solve_tp(ws, false, message), SolverStatus::ok) << message;
            for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
                const detail::Candidate& c = ws.cand[sz(ci)];
                if (c.present || c.pure || c.ideal || c.groups != 1) continue;
                fn(ws, ci);
            }
        }
    }
}

TEST(BasinBall, TheDistanceOnItsSphereLiesAtOrAboveItsWall) {
    std::mt19937_64 rng(29);
    int balls = 0;
    each_absent_mixture([&](detail::Workspace& ws, int ci) {
        const detail::Candidate& c = ws.cand[sz(ci)];
        const int m = c.count;
        for (int start = -1; start < m; ++start) {
            std::vector<double> x(sz(m), start < 0 ? 1.0 / m : 1e-3 / (m - 1));
            if (start >= 0) x[sz(start)] = 1.0 - 1e-3;
            const double d = detail::descend_distance(ws, c, x.data());
            double rho = 0.0, wall = 0.0;
            if (!detail::basin_ball(ws, ci, x.data(), d, rho, wall)) continue;
            ++balls;
            EXPECT_GT(wall, d);
            EXPECT_NEAR(distance_at(ws, c, x), d, 1e-12 * std::max(1.0, std::abs(d)));
            double lowest = 1e300;
            for (int k = 0; k < 4000; ++k) {
                const std::vector<double> u = direction(m, rng);
                std::vector<double> z(sz(m));
                bool inside = true;
                for (int i = 0; i < m; ++i) inside = inside && (z[sz(i)] = x[sz(i)] + rho * u[sz(i)]) > 0.0;
                if (inside) lowest = std::min(lowest, distance_at(ws, c, z));
            }
            EXPECT_GE(lowest, wall - 1e-10 * std::max(1.0, std::abs(wall)))
                << c.model->phase_name() << " rho " << rho << " T " << ws.T;
        }
    });
    EXPECT_GT(balls, 20);
}

// The proof must fail where D curves down at the centre along some pair
// direction e_i - e_j (central second differences, well above rounding).
TEST(BasinBall, NoneWhereTheDistanceIsNotConvexAtTheCentre) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    int concave = 0;
    each_absent_mixture([&](detail::Workspace& ws, int ci) {
        const detail::Candidate& c = ws.cand[sz(ci)];
        const int m = c.count;
        for (int k = 0; k < 200; ++k) {
            std::vector<double> x(sz(m));
            double sum = 0.0;
            for (double& v : x) {
                v = 0.05 + unif(rng);
                sum += v;
            }
            for (double& v : x) v /= sum;
            const double D = distance_at(ws, c, x);
            constexpr double h = 1e-3;
            double least = 1e300;
            for (int i = 0; i < m; ++i)
                for (int j = i + 1; j < m; ++j) {
                    std::vector<double> up = x, down = x;
                    up[sz(i)] += h, up[sz(j)] -= h, down[sz(i)] -= h, down[sz(j)] += h;
                    least = std::min(least, (distance_at(ws, c, up) - 2.0 * D + distance_at(ws, c, down)) / (h * h));
                }
            if (!(least < -1e-2)) continue;
            ++concave;
            double rho = 0.0, wall = 0.0;
            EXPECT_FALSE(detail::basin_ball(ws, ci, x.data(), D, rho, wall))
                << c.model->phase_name() << " second difference " << least << " T " << ws.T;
        }
    });
    EXPECT_GT(concave, 20);
}

}  // namespace
}  // namespace eqcore::robust
