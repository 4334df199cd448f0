// A phase's block restricted to the directions its linear constraints leave
// free: with the constraint columns G (m x k, scaled like the block) and
// their QR, G = Q R, the free directions are Z = Q(:, k:m), and
// Z (Z' C Z)^-1 Z' takes the place of C^-1. Used for the site ratios of a
// phase with sublattices in Newton, and for the fixed sublattice amounts of
// its tangent-plane search.
#include <algorithm>

#include "solver/dense_lu.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

double factor_projected(Workspace& ws, int m, int k, std::span<double> C) {
    const std::span<double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    householder_qr(G, sz(m), sz(k), tau);
    // C <- Q' C Q: the free block is its last m - k rows and columns.
    for (int j = 0; j < m; ++j) apply_qt(G, sz(m), sz(k), tau, C.data() + j, sz(m));
    for (int i = 0; i < m; ++i) apply_qt(G, sz(m), sz(k), tau, C.data() + i * m, 1);
    // Inside a spinodal the block is not positive definite: shifted by a
    // multiple of I until it is (no shift at a stable state: exact Newton).
    const int f = m - k;
    const std::span<double> Cz(ws.Cz.data(), sz(f * f));
    for (double shift = 0.0;; shift = shift == 0.0 ? 0.1 : 4.0 * shift) {
        for (int i = 0; i < f; ++i)
            for (int j = 0; j < f; ++j) Cz[sz(i * f + j)] = C[sz((i + k) * m + j + k)] + (i == j ? shift : 0.0);
        if (cholesky_factor(Cz, sz(f), 1e-10) || shift > 1e8) return shift;
    }
}

void solve_projected(Workspace& ws, int m, int k, double* t) {
    const int f = m - k;
    const std::span<const double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    apply_qt(G, sz(m), sz(k), tau, t);
    cholesky_solve(std::span<const double>(ws.Cz.data(), sz(f * f)), sz(f), std::span<double>(t + k, sz(f)));
    std::fill(t, t + k, 0.0);
    apply_q(G, sz(m), sz(k), tau, t);
}

}  // namespace eqcore::detail
