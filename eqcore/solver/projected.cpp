// A phase's block restricted to the directions its linear constraints leave
// free: with the constraint columns G (m x k, scaled like the block) and
// their QR, G = Q R, the free directions are Z = Q(:, k:m), and
// Z (Z' C Z)^-1 Z' takes the place of C^-1. Used for the site ratios of a
// phase with sublattices in Newton, and for the fixed sublattice amounts of
// its tangent-plane search.
#include <algorithm>

#include "solver/dense_lu.hpp"
#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// C <- H C H (m x m, row-major) with H = I - tau v v', v column j of the
// reflectors G (m x k) from row j down and 0 above. Written out as
//     H C H = C - tau v r' - tau p v' + tau^2 (v'Cv) v v'
// with p = C v and r' = v' C (C need not be symmetric): one pass over C
// instead of one reflection per row and per column.
void reflect_both_sides(std::span<const double> G, int m, int k, int j, double tau, std::span<double> Cs) {
    if (tau == 0.0) return;
    Scratch v_buffer(sz(m)), p_buffer(sz(m)), r_buffer(sz(m));
    double* v = v_buffer.span().data();
    double* p = p_buffer.span().data();
    double* r = r_buffer.span().data();
    double* C = Cs.data();
    for (int i = j; i < m; ++i) v[i] = G[sz(i * k + j)];
    double vcv = 0.0;
    for (int a = 0; a < m; ++a) {
        const double* row = C + a * m;
        const double va = v[a];
        double pa = 0.0;
        for (int b = j; b < m; ++b) pa += row[b] * v[b];
        if (va != 0.0)
            for (int b = 0; b < m; ++b) r[b] += va * row[b];
        p[a] = pa;
        vcv += va * pa;
    }
    const double t2 = tau * tau * vcv;
    for (int a = 0; a < m; ++a) {
        double* row = C + a * m;
        const double tva = tau * v[a], tpa = tau * p[a], wa = t2 * v[a];
        for (int b = 0; b < m; ++b) row[b] -= tva * r[b] + (tpa - wa) * v[b];
    }
}
}  // namespace

double factor_projected(Workspace& ws, int m, int k, std::span<double> C) {
    const std::span<double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    householder_qr(G, sz(m), sz(k), tau);
    // C <- Q' C Q = H_k-1 ... H_0 C H_0 ... H_k-1: the free block is its
    // last m - k rows and columns.
    for (int j = 0; j < k; ++j) reflect_both_sides(G, m, k, j, tau[sz(j)], C);
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
