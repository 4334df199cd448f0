// The projected Newton system with two unknowns and one constraint column
// (a sublattice of two constituents) takes its own short path; checked
// against the general Householder path on the same problem embedded in
// three unknowns with a second constraint that fixes the third (the free
// direction is the same), and against the defining equations: the step is
// orthogonal to the constraint column and solves the shifted block on the
// free direction. Blocks positive definite on the free direction, and not
// (inside a spinodal: the shift), columns from balanced to 1e-150 : 1.
#include <gtest/gtest.h>

#include <algorithm>
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

Projected solve(int m, int k, std::vector<double> C, const std::vector<double>& G, std::vector<double> t,
                bool exact = false, bool* lu = nullptr) {
    detail::Workspace ws;
    ws.cons = G;
    ws.cons_tau.assign(static_cast<std::size_t>(k), 0.0);
    ws.Cz.assign(static_cast<std::size_t>((m - k) * (m - k)), 0.0);
    ws.cpiv.assign(static_cast<std::size_t>(m), 0);
    Projected p;
    p.shift = detail::factor_projected(ws, m, k, C, exact);
    detail::solve_projected(ws, m, k, t.data());
    if (lu != nullptr) *lu = ws.cz_lu;
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

// One constraint column and three to six unknowns (one sublattice in a
// tangent-plane search) takes the single-reflector path: checked against
// the general path on the same problem embedded in one more unknown fixed by
// a second column, and against the defining equations (the step orthogonal
// to the column; the shifted block times the step less the input parallel
// to the column).
TEST(ProjectedSingleColumn, AgreesWithTheGeneralPathAndSolvesTheSystem) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int shifted = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const int m = 3 + trial % 4;
        const auto n = static_cast<std::size_t>(m);
        std::vector<double> C(n * n);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= i; ++j) C[i * n + j] = C[j * n + i] = (i == j ? 1.0 : 0.0) + 1.5 * u(rng);
        const double scale = std::pow(10.0, -100.0 * std::abs(u(rng)) * (trial % 5 == 0));
        std::vector<double> G(n), t(n);
        for (std::size_t i = 0; i < n; ++i) {
            G[i] = (i == 0 ? scale : 1.0) * (0.01 + std::abs(u(rng)));
            t[i] = u(rng);
        }
        const Projected one = solve(m, 1, C, G, t);

        // Embedded: unknown m fixed by its own column (row-major, 2 columns).
        const std::size_t n1 = n + 1;
        std::vector<double> C1(n1 * n1, 0.0), G1(n1 * 2, 0.0), t1(t);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) C1[i * n1 + j] = C[i * n + j];
        C1[n * n1 + n] = 1.0;
        for (std::size_t i = 0; i < n; ++i) G1[i * 2] = G[i];
        G1[n * 2 + 1] = 1.0;
        t1.push_back(0.5);
        const Projected general = solve(m + 1, 2, C1, G1, t1);
        ASSERT_EQ(one.shift, general.shift) << "trial " << trial;
        double size = 1e-300, out = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            size += std::abs(general.t[i]);
            out += std::abs(one.t[i]) + std::abs(t[i]);
        }
        for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(one.t[i], general.t[i], 1e-10 * size) << "trial " << trial;

        // G' t = 0, and r = (C + shift I) t - t_in has no part off G.
        double gt = 0.0, gg = 0.0, gr = 0.0, csize = 0.0;
        std::vector<double> r(n);
        for (std::size_t i = 0; i < n; ++i) {
            double v = one.shift * one.t[i] - t[i];
            for (std::size_t j = 0; j < n; ++j) {
                v += C[i * n + j] * one.t[j];
                csize = std::max(csize, std::abs(C[i * n + j]));
            }
            r[i] = v;
            gt += G[i] * one.t[i];
            gg += G[i] * G[i];
            gr += G[i] * v;
        }
        EXPECT_NEAR(gt / std::sqrt(gg), 0.0, 1e-13 * out) << "trial " << trial;
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_NEAR(r[i] - gr / gg * G[i], 0.0, 1e-11 * out * (1.0 + csize + one.shift)) << "trial " << trial;
        if (one.shift > 0.0) ++shifted;
    }
    EXPECT_GT(shifted, 50);  // the indefinite case is exercised
}

// Exact steps (Newton near a solution where the phase alone is inside its
// spinodal): the block as it is, indefinite or not, one and two constraint
// columns, three to seven unknowns. The defining equations with no shift:
// G' t = 0 and C t - t_in in the span of G (its part off G, from the
// normal equations of G, is zero). A positive definite block takes the
// Cholesky path as without `exact`, bit for bit.
TEST(ProjectedExact, IndefiniteBlockSolvedAsItIs) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int indefinite = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const int m = 3 + trial % 5, k = 1 + trial % 2;
        const auto n = static_cast<std::size_t>(m), kk = static_cast<std::size_t>(k);
        std::vector<double> C(n * n), G(n * kk), t(n);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= i; ++j) C[i * n + j] = C[j * n + i] = (i == j ? 1.0 : 0.0) + 1.5 * u(rng);
        for (double& g : G) g = 0.01 + std::abs(u(rng));
        for (double& v : t) v = u(rng);
        bool lu = false;
        const Projected exact = solve(m, k, C, G, t, true, &lu);
        const Projected shifted = solve(m, k, C, G, t);
        if (!lu) {
            EXPECT_EQ(exact.shift, shifted.shift) << "trial " << trial;
            EXPECT_EQ(exact.t, shifted.t) << "trial " << trial;
            continue;
        }
        ++indefinite;
        EXPECT_EQ(exact.shift, 0.0);
        EXPECT_GT(shifted.shift, 0.0) << "trial " << trial;  // Cholesky failed on the block
        // r = C t - t_in; its part off G: r - G (G'G)^-1 G' r (k <= 2).
        std::vector<double> r(n), gr(kk, 0.0), gg(kk * kk, 0.0), gt(kk, 0.0);
        double out = 0.0, csize = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            double v = -t[i];
            for (std::size_t j = 0; j < n; ++j) {
                v += C[i * n + j] * exact.t[j];
                csize = std::max(csize, std::abs(C[i * n + j]));
            }
            r[i] = v;
            out += std::abs(exact.t[i]) + std::abs(t[i]);
            for (std::size_t a = 0; a < kk; ++a) {
                gr[a] += G[i * kk + a] * v;
                gt[a] += G[i * kk + a] * exact.t[i];
                for (std::size_t b = 0; b < kk; ++b) gg[a * kk + b] += G[i * kk + a] * G[i * kk + b];
            }
        }
        std::vector<double> w(kk);
        if (k == 1) {
            w[0] = gr[0] / gg[0];
        } else {
            const double det = gg[0] * gg[3] - gg[1] * gg[2];
            w[0] = (gg[3] * gr[0] - gg[1] * gr[1]) / det;
            w[1] = (gg[0] * gr[1] - gg[2] * gr[0]) / det;
        }
        for (std::size_t a = 0; a < kk; ++a) EXPECT_NEAR(gt[a], 0.0, 1e-12 * out) << "trial " << trial;
        for (std::size_t i = 0; i < n; ++i) {
            double off = r[i];
            for (std::size_t a = 0; a < kk; ++a) off -= G[i * kk + a] * w[a];
            EXPECT_NEAR(off, 0.0, 1e-9 * out * (1.0 + csize)) << "trial " << trial;
        }
    }
    EXPECT_GT(indefinite, 100);  // the indefinite case is exercised
}

}  // namespace
}  // namespace eqcore
