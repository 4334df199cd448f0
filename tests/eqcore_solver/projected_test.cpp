// The projected Newton system with two unknowns and one constraint column
// (a sublattice of two constituents) takes its own short path; checked
// against the general Householder path on the same problem embedded in
// three unknowns with a second constraint that fixes the third (the free
// direction is the same), and against the defining equations: the step is
// orthogonal to the constraint column and solves the shifted block on the
// free direction. Blocks positive definite on the free direction, and not
// (inside a spinodal: the shift), columns from balanced to 1e-150 : 1.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore {
namespace {

struct Projected {
    double shift = 0.0;
    std::vector<double> t;
};

Projected solve(int m, int k, std::vector<double> C, const std::vector<double>& G, std::vector<double> t) {
    detail::Workspace ws;
    ws.cons = G;
    ws.cons_tau.assign(static_cast<std::size_t>(k), 0.0);
    ws.Cz.assign(static_cast<std::size_t>((m - k) * (m - k)), 0.0);
    Projected p;
    p.shift = detail::factor_projected(ws, m, k, C);
    detail::solve_projected(ws, m, k, t.data());
    p.t = t;
    return p;
}

TEST(ProjectedPair, ClosedFormAgreesWithTheGeneralPathAndSolvesTheSystem) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int shifted = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const double c01 = 3.0 * u(rng);
        const std::vector<double> C = {1.0 + 2.0 * u(rng), c01, c01, 1.0 + 2.0 * u(rng)};
        const double scale = std::pow(10.0, -150.0 * std::abs(u(rng)) * (trial % 4 == 0));
        const std::vector<double> G = {scale * (0.01 + std::abs(u(rng))), 0.01 + std::abs(u(rng))};
        const std::vector<double> t = {u(rng), u(rng)};
        const Projected pair = solve(2, 1, C, G, t);

        // The same free direction in three unknowns: the third fixed by its
        // own column (row-major m x k columns).
        const std::vector<double> C3 = {C[0], C[1], 0.0, C[2], C[3], 0.0, 0.0, 0.0, 1.0};
        const std::vector<double> G3 = {G[0], 0.0, G[1], 0.0, 0.0, 1.0};
        const Projected general = solve(3, 2, C3, G3, {t[0], t[1], 0.5});
        ASSERT_EQ(pair.shift, general.shift) << "trial " << trial;
        const double size = std::abs(general.t[0]) + std::abs(general.t[1]) + 1e-300;
        EXPECT_NEAR(pair.t[0], general.t[0], 1e-11 * size) << "trial " << trial;
        EXPECT_NEAR(pair.t[1], general.t[1], 1e-11 * size) << "trial " << trial;
        EXPECT_EQ(general.t[2], 0.0);

        // The defining equations: G' t = 0 and z' ((C + shift I) t - t_in) = 0.
        const double gn = std::hypot(G[0], G[1]);
        const double z0 = G[1] / gn, z1 = -G[0] / gn;
        const double out = std::abs(pair.t[0]) + std::abs(pair.t[1]) + std::abs(t[0]) + std::abs(t[1]);
        EXPECT_NEAR((G[0] * pair.t[0] + G[1] * pair.t[1]) / gn, 0.0, 1e-14 * out);
        const double r0 = C[0] * pair.t[0] + C[1] * pair.t[1] + pair.shift * pair.t[0] - t[0];
        const double r1 = C[2] * pair.t[0] + C[3] * pair.t[1] + pair.shift * pair.t[1] - t[1];
        const double q = z0 * (C[0] * z0 + C[1] * z1) + z1 * (C[2] * z0 + C[3] * z1);
        EXPECT_NEAR(z0 * r0 + z1 * r1, 0.0, 1e-12 * out * (1.0 + std::abs(q) + pair.shift));
        // The shift: none where the block is positive on the free direction,
        // else the first of 0.1, 0.4, 1.6, ... that makes it so.
        if (q > 1e-9) {
            EXPECT_EQ(pair.shift, 0.0);
        }
        if (q < -1e-9) {
            ++shifted;
            EXPECT_GT(q + pair.shift, 1e-10);
            const double before = pair.shift == 0.1 ? 0.0 : pair.shift / 4.0;
            EXPECT_LE(q + before, 1e-10 + 1e-12);
        }
    }
    EXPECT_GT(shifted, 50);  // the indefinite case is exercised
}

}  // namespace
}  // namespace eqcore
