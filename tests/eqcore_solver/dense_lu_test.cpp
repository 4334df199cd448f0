// The equilibrated solve of a badly scaled symmetric system: the Newton
// system of a phase present at a trace amount beside a stoichiometric one,
// a block of entries of 1e-14 bordered by entries of order 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

#include "solver/dense_lu.hpp"

namespace eqcore {
namespace {

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

}  // namespace
}  // namespace eqcore
