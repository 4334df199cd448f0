// A phase's block restricted to the directions its linear constraints leave
// free: with the constraint columns G (m x k, scaled like the block) and
// their QR, G = Q R, the free directions are Z = Q(:, k:m), and
// Z (Z' C Z)^-1 Z' takes the place of C^-1. Used for the site ratios of a
// phase with sublattices in Newton, and for the fixed sublattice amounts of
// its tangent-plane search.
#include <algorithm>
#include <cmath>

#include "solver/dense_lu.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

namespace {

// The block's smallest pivot, and the shifts tried in turn, of the
// factorisation below.
constexpr double kMinPivot = 1e-10;
double next_shift(double shift) { return shift == 0.0 ? 0.1 : 4.0 * shift; }

// Two unknowns and one constraint column (g0, g1) (a sublattice of two
// constituents in a tangent-plane search): the one free direction is
// z = (g1, -g0) / |g|, Z'CZ the number z'Cz; z goes in ws.cons, the shifted
// number in ws.Cz. The same shifts as the general case.
double factor_pair(Workspace& ws, std::span<const double> C) {
    const double g0 = ws.cons[0], g1 = ws.cons[1];
    const double norm = std::hypot(g0, g1);
    const double z0 = g1 / norm, z1 = -g0 / norm;
    ws.cons[0] = z0;
    ws.cons[1] = z1;
    const double q = z0 * (C[0] * z0 + C[1] * z1) + z1 * (C[2] * z0 + C[3] * z1);
    for (double shift = 0.0;; shift = next_shift(shift))
        if (q + shift > kMinPivot || shift > 1e8) {
            ws.Cz[0] = q + shift;
            return shift;
        }
}

}  // namespace

double factor_projected(Workspace& ws, int m, int k, std::span<double> C) {
    if (m == 2 && k == 1) return factor_pair(ws, C);
    const std::span<double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    householder_qr(G, sz(m), sz(k), tau);
    // C <- Q' C Q: the free block is its last m - k rows and columns.
    for (int j = 0; j < m; ++j) apply_qt(G, sz(m), sz(k), tau, C.data() + j, sz(m));
    for (int i = 0; i < m; ++i) apply_qt(G, sz(m), sz(k), tau, C.data() + i * m, 1);
    // Inside a spinodal the block is not positive definite: shifted by a
    // multiple of I until it is (no shift at a stable state: exact Newton).
    const int f = m - k;
    const std::span<double> Cz(ws.Cz.data(), sz(f * f));
    for (double shift = 0.0;; shift = next_shift(shift)) {
        for (int i = 0; i < f; ++i)
            for (int j = 0; j < f; ++j) Cz[sz(i * f + j)] = C[sz((i + k) * m + j + k)] + (i == j ? shift : 0.0);
        if (cholesky_factor(Cz, sz(f), kMinPivot) || shift > 1e8) return shift;
    }
}

void solve_projected(Workspace& ws, int m, int k, double* t) {
    if (m == 2 && k == 1) {  // factor_pair: t <- z (z't) / z'Cz
        const double s = (ws.cons[0] * t[0] + ws.cons[1] * t[1]) / ws.Cz[0];
        t[0] = ws.cons[0] * s;
        t[1] = ws.cons[1] * s;
        return;
    }
    const int f = m - k;
    const std::span<const double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    apply_qt(G, sz(m), sz(k), tau, t);
    cholesky_solve(std::span<const double>(ws.Cz.data(), sz(f * f)), sz(f), std::span<double>(t + k, sz(f)));
    std::fill(t, t + k, 0.0);
    apply_q(G, sz(m), sz(k), tau, t);
}

}  // namespace eqcore::detail
