// The equilibrated solve of a badly scaled symmetric system: the Newton
// system of a phase present at a trace amount beside a stoichiometric one,
// a block of entries of 1e-14 bordered by entries of order 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
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

}  // namespace
}  // namespace eqcore
