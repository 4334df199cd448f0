// The equilibrated solve of a badly scaled symmetric system: the Newton
// system of a phase present at a trace amount beside a stoichiometric one,
// a block of entries of 1e-14 bordered by entries of order 1. The Cholesky
// factorisation and solve use the lower triangle alone (callers refill only
// that half between shifted attempts).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "solver/dense_lu.hpp"

namespace eqcore {
namespace {

using detail::cholesky_factor;
using detail::cholesky_solve;
using detail::equilibrate;
using detail::lu_factor;
using detail::lu_solve;

// [ t B   a ]
// [ a'    0 ]   with B symmetric positive definite (3 x 3), a = (2, 0, 1)
// and t the trace scale: the element block of a gas of t mol beside liquid
// water, which fixes one combination of the potentials.
std::vector<double> bordered(double t) {
    const double B[3][3] = {{4.0, 1.0, 2.0}, {1.0, 3.0, 0.5}, {2.0, 0.5, 5.0}};
    const double a[3] = {2.0, 0.0, 1.0};
    std::vector<double> K(16, 0.0);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) K[static_cast<std::size_t>(i * 4 + j)] = t * B[i][j];
        K[static_cast<std::size_t>(i * 4 + 3)] = K[static_cast<std::size_t>(12 + i)] = a[i];
    }
    return K;
}

TEST(Equilibrate, SolvesATraceBlockBesideAUnitBorder) {
    for (double t : {1.0, 1e-8, 1e-14, 1e-20}) {
        std::vector<double> K = bordered(t);
        // The answer: potentials of order 1 and a border multiplier of order t.
        const std::vector<double> x = {0.7, -1.3, 2.1, 0.4 * t};
        std::vector<double> r(4, 0.0);
        for (std::size_t i = 0; i < 4; ++i)
            for (std::size_t j = 0; j < 4; ++j) r[i] += K[i * 4 + j] * x[j];
        // Unscaled, the pivot test calls the tiny block singular.
        std::vector<double> raw = K;
        std::vector<std::size_t> piv(4);
        if (t <= 1e-14) {
            EXPECT_FALSE(lu_factor(raw, 4, piv, 1e-13)) << t;
        }
        std::vector<double> s(4);
        equilibrate(K, 4, s);
        for (std::size_t i = 0; i < 4; ++i) {
            double m = 0.0;
            for (std::size_t j = 0; j < 4; ++j) m = std::max(m, std::abs(K[i * 4 + j]));
            EXPECT_GT(m, 0.5) << t;
            EXPECT_LT(m, 2.0) << t;
            // Symmetric still.
            for (std::size_t j = 0; j < 4; ++j) EXPECT_EQ(K[i * 4 + j], K[j * 4 + i]);
        }
        ASSERT_TRUE(lu_factor(K, 4, piv, 1e-13)) << t;
        for (std::size_t i = 0; i < 4; ++i) r[i] *= s[i];
        lu_solve(K, 4, piv, r);
        for (std::size_t i = 0; i < 4; ++i) r[i] *= s[i];
        for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(r[i], x[i], 1e-12 * std::abs(x[i])) << t << " " << i;
    }
}

TEST(Equilibrate, LeavesAZeroRowAlone) {
    std::vector<double> K = {2.0, 0.0, 0.0, 0.0};
    std::vector<double> s(2);
    equilibrate(K, 2, s);
    EXPECT_EQ(s[1], 1.0);
    EXPECT_NEAR(K[0], 1.0, 1e-15);
    EXPECT_EQ(K[3], 0.0);
}

// A random n x n matrix with zeros on its diagonal (every column needs a
// row interchange) and entries spanning six orders of magnitude.
std::vector<double> hollow(std::size_t n, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0), e(-3.0, 3.0);
    std::vector<double> A(n * n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) A[i * n + j] = i == j ? 0.0 : u(rng) * std::pow(10.0, e(rng));
    return A;
}

// Orders 1..8 are factorised with the order fixed at compile time, larger
// ones with the general loops: the small cases must give the bits the
// general loops give. Embedded as the leading block of diag(M, I), M is
// factorised by the general loops with the same operations (the identity
// block's zeros neither win a pivot nor change an entry of M's rows).
TEST(DenseLu, SmallOrdersGiveTheGeneralLoopsBits) {
    std::mt19937_64 rng(31);
    for (std::size_t n = 1; n <= 8; ++n) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<double> M = n == 1 ? std::vector<double>{0.37} : hollow(n, rng);
            const std::size_t big = n + 9;
            std::vector<double> B(big * big, 0.0);
            for (std::size_t i = 0; i < big; ++i) B[i * big + i] = 1.0;
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = 0; j < n; ++j) B[i * big + j] = M[i * n + j];
            std::vector<std::size_t> pm(n), pb(big);
            ASSERT_TRUE(lu_factor(M, n, pm));
            ASSERT_TRUE(lu_factor(B, big, pb));
            std::vector<double> xm(n), xb(big, 0.0);
            for (std::size_t i = 0; i < n; ++i) xm[i] = xb[i] = std::uniform_real_distribution<double>(-5.0, 5.0)(rng);
            lu_solve(M, n, pm, xm);
            lu_solve(B, big, pb, xb);
            for (std::size_t i = 0; i < n; ++i) {
                EXPECT_EQ(pm[i], pb[i]) << n;
                EXPECT_EQ(xm[i], xb[i]) << n << " " << i;
                for (std::size_t j = 0; j < n; ++j) EXPECT_EQ(M[i * n + j], B[i * big + j]) << n;
            }
        }
    }
}

// Solves with a known answer, checked in long double, for every order up
// to past the compile-time ones; a matrix with one row a multiple of
// another is reported singular.
TEST(DenseLu, SolvesKnownSystemsAndRefusesSingularOnes) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    for (std::size_t n = 1; n <= 12; ++n) {
        std::vector<double> A = n == 1 ? std::vector<double>{-3.0} : hollow(n, rng);
        std::vector<double> x(n), r(n);
        for (double& v : x) v = u(rng);
        for (std::size_t i = 0; i < n; ++i) {
            long double s = 0.0L;
            for (std::size_t j = 0; j < n; ++j) s += static_cast<long double>(A[i * n + j]) * x[j];
            r[i] = static_cast<double>(s);
        }
        std::vector<double> F = A;
        std::vector<std::size_t> piv(n);
        ASSERT_TRUE(lu_factor(F, n, piv)) << n;
        for (std::size_t k = 0; k < n; ++k) EXPECT_GE(piv[k], k) << n;
        lu_solve(F, n, piv, r);
        for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(r[i], x[i], 1e-9) << n << " " << i;
        if (n == 1) continue;
        for (std::size_t j = 0; j < n; ++j) A[(n - 1) * n + j] = -2.5 * A[j];
        EXPECT_FALSE(lu_factor(A, n, piv)) << n;
    }
}

// Symmetric matrices Q diag(l) Q' of sizes 1 to 12, eigenvalues l spread
// over up to ten decades and some negative (not positive definite), scaled
// by a diagonal of up to six decades: the factor and the solution are the
// same to the last bit with NaN in the strict upper triangle, the
// factorisation fails at the same matrices, and a solution satisfies the
// full symmetric system to rounding.
TEST(Cholesky, UsesTheLowerTriangleAloneAndSolvesTheSystem) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int solved = 0, refused = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t n = 1 + static_cast<std::size_t>(trial % 12);
        // Q: Householder reflection I - 2 v v' / v'v of a random v.
        std::vector<double> v(n), l(n), d(n), A(n * n, 0.0), b(n);
        double vv = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            v[i] = u(rng);
            vv += v[i] * v[i];
            l[i] = std::pow(10.0, -10.0 * std::abs(u(rng))) * (trial % 5 == 4 && i == n / 2 ? -1.0 : 1.0);
            d[i] = std::pow(10.0, 3.0 * u(rng));
            b[i] = u(rng);
        }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                for (std::size_t k = 0; k < n; ++k) {
                    const double qik = (i == k ? 1.0 : 0.0) - 2.0 * v[i] * v[k] / vv;
                    const double qjk = (j == k ? 1.0 : 0.0) - 2.0 * v[j] * v[k] / vv;
                    A[i * n + j] += d[i] * qik * l[k] * qjk * d[j];
                }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < i; ++j) A[j * n + i] = A[i * n + j];  // exactly symmetric
        std::vector<double> full = A, lower = A;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) lower[i * n + j] = std::numeric_limits<double>::quiet_NaN();
        const double min_pivot = 1e-300;
        const bool ok = cholesky_factor(full, n, min_pivot);
        ASSERT_EQ(cholesky_factor(lower, n, min_pivot), ok) << "trial " << trial;
        if (!ok) {
            ++refused;
            continue;
        }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= i; ++j) ASSERT_EQ(lower[i * n + j], full[i * n + j]) << "trial " << trial;
        std::vector<double> x = b, y = b;
        cholesky_solve(full, n, x);
        cholesky_solve(lower, n, y);
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(x[i], y[i]) << "trial " << trial;
        // Up to eleven right-hand sides at once (past one block of eight),
        // some with leading zeros (sparse columns): each column exactly as
        // the single solve gives it.
        {
            std::mt19937 rng_cols(static_cast<unsigned>(trial));
            const std::size_t cols = 1 + static_cast<std::size_t>(trial % 11);
            std::vector<double> many(cols * n);
            for (std::size_t j = 0; j < cols; ++j)
                for (std::size_t i = 0; i < n; ++i) many[j * n + i] = i < j % (n + 1) ? 0.0 : u(rng_cols);
            std::vector<double> each = many;
            for (std::size_t j = 0; j < cols; ++j) cholesky_solve(lower, n, std::span<double>(each.data() + j * n, n));
            detail::cholesky_solve_columns(lower, n, many, cols);
            for (std::size_t k = 0; k < cols * n; ++k) ASSERT_EQ(many[k], each[k]) << "trial " << trial << " entry " << k;
        }
        // Backward stable: A x - b of the order of rounding of |A| |x|.
        for (std::size_t i = 0; i < n; ++i) {
            double r = -b[i], scale = std::abs(b[i]);
            for (std::size_t j = 0; j < n; ++j) {
                r += A[i * n + j] * x[j];
                scale += std::abs(A[i * n + j] * x[j]);
            }
            EXPECT_LE(std::abs(r), 1e-12 * scale) << "trial " << trial << " row " << i;
        }
        ++solved;
    }
    EXPECT_GT(solved, 150);
    EXPECT_GT(refused, 20);  // the indefinite matrices are refused
}

}  // namespace
}  // namespace eqcore
