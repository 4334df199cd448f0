// Checks of the certified one-direction minimisation, shared by its tests:
// the distance evaluated in long double independently of the routine (its
// magnetic term from the formula itself), a dense grid against the minima
// it reports, and a candidate's reported minima against dense sampling of
// the model's own distance and against descents.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "solver/line_minimum.hpp"
#include "solver/workspace.hpp"

namespace eqcore::line_test {

using detail::LineFunction;

// f(tau) of the magnetic term for structure factor p, in long double.
inline long double magnetic_f_exact(long double tau, long double p) {
    const long double A = 518.0L / 1125.0L + (11692.0L / 15975.0L) * (1.0L / p - 1.0L);
    if (tau <= 1.0L) {
        const long double K = (474.0L / 497.0L) * (1.0L / p - 1.0L);
        const long double powers =
            std::pow(tau, 3.0L) / 6.0L + std::pow(tau, 9.0L) / 135.0L + std::pow(tau, 15.0L) / 600.0L;
        return 1.0L - (79.0L / (140.0L * p * tau) + K * powers) / A;
    }
    return -(std::pow(tau, -5.0L) / 10.0L + std::pow(tau, -15.0L) / 315.0L + std::pow(tau, -25.0L) / 1500.0L) / A;
}

inline long double polynomial_at(const LinePolynomial& P, long double t) {
    long double v = 0.0L;
    for (int k = P.degree; k >= 0; --k) v = v * t + P.c[k];
    return v;
}

// D(t) in long double, t and 1 - t given apart (exact near both ends).
inline long double exact_D(const LineFunction& f, long double t, long double u) {
    const long double q = polynomial_at(f.q, t);
    const long double h = (t > 0 ? t * std::log(t) : 0.0L) + (u > 0 ? u * std::log(u) : 0.0L);
    long double m = 0.0L;
    if (f.magnetic.on) {
        long double tc = polynomial_at(f.magnetic.tc, t), beta = polynomial_at(f.magnetic.beta, t);
        if (tc < 0) tc *= f.magnetic.negative;
        if (beta < 0) beta *= f.magnetic.negative;
        if (tc > 0 && beta > 0)
            m = f.magnetic_scale * std::log(beta + 1.0L) * magnetic_f_exact(f.T / tc, f.magnetic.structure);
    }
    return f.a * h + q + m;
}

inline long double exact_at_s(const LineFunction& f, double s) {
    const long double t = 1.0L / (1.0L + std::exp(-static_cast<long double>(s)));
    const long double u = 1.0L / (1.0L + std::exp(static_cast<long double>(s)));
    return exact_D(f, t, u);
}

inline LineFunction make(double a, std::vector<double> q) {
    LineFunction f;
    f.a = a;
    f.q.degree = static_cast<int>(q.size()) - 1;
    for (std::size_t k = 0; k < q.size(); ++k) {
        f.q.c[k] = q[k];
        f.q.mag[k] = std::abs(q[k]);
    }
    return f;
}

inline LinePolynomial line_polynomial_of(const std::vector<double>& c) {
    LinePolynomial P;
    P.degree = static_cast<int>(c.size()) - 1;
    for (std::size_t k = 0; k < c.size(); ++k) {
        P.c[k] = c[k];
        P.mag[k] = std::abs(c[k]);
    }
    return P;
}

// The coefficients of the product of two polynomials.
inline std::vector<double> times(const std::vector<double>& p, const std::vector<double>& q) {
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
// neighbours. `size`: the scale of D's rounding. With a curvature map
// given, the minima are found from it.
inline void check_against_grid(const LineFunction& f, const std::string& what, long double size = 0.0L,
                               const detail::CurvatureMap* map = nullptr) {
    double s[16];
    int n = 0;
    ASSERT_TRUE(map ? detail::line_function_minima(f, *map, s, 16, n) : detail::line_function_minima(f, s, 16, n))
        << what;
    ASSERT_GT(n, 0) << what;
    long double scale = f.a + size;
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
    for (int i = 1; i < kEven; ++i)
        grid.push_back({static_cast<long double>(i) / kEven, static_cast<long double>(kEven - i) / kEven});
    for (int i = 1; i <= 600; ++i) {
        const long double u = std::pow(10.0L, -300.0L * i / 600.0L);
        if (u < 1e-5L) grid.push_back({1.0L - u, u});
    }
    std::vector<long double> D(grid.size());
    for (std::size_t i = 0; i < grid.size(); ++i) D[i] = exact_D(f, grid[i].t, grid[i].u);
    for (std::size_t i = 0; i < grid.size(); ++i)
        EXPECT_LE(best, D[i] + tol) << what << " grid t = " << static_cast<double>(grid[i].t);
    for (std::size_t i = 1; i + 1 < grid.size(); ++i) {
        if (!(D[i] + tol < D[i - 1] && D[i] + tol < D[i + 1])) continue;
        bool found = false;
        for (double t : ts) found = found || (t >= grid[i - 1].t && t <= grid[i + 1].t);
        EXPECT_TRUE(found) << what << ": grid minimum at t = " << static_cast<double>(grid[i].t) << " not reported";
    }
}

// A candidate's certified minima against the model's own distance: each
// reported minimum against its neighbours, the least against 10^5 even
// samples and 400 towards both ends, and against descents from 9 starts.
inline void check_against_model(detail::Workspace& ws, const detail::Candidate& c, const detail::LineMinima& lm,
                                const std::string& what) {
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

}  // namespace eqcore::line_test
